// The root object: a process-wide singleton that creates every library object.
#pragma once

#include "library/KvObject.h"
#include "library/include/Vantrel.h"

class CVantrel final : public IVantrel, public CKvObject {
public:
    // Creates the singleton on first use; adds no reference.
    static CVantrel* GetInstance();

    RZRESULT CreatePlayer(KvMultimedia::IKvPlayer** out) override;
    RZRESULT CreatePlaylist(KvMultimedia::IKvPlaylist** out) override;
    RZRESULT CreatePListContainer(KvMultimedia::IKvPListContainer** out) override;
    RZRESULT CreateImage(KvMultimedia::IKvImage** out, const char16_t* path) override;
    RZRESULT CreateText(KvUserInterface::IKvText** out) override;
    RZRESULT CreateButton(KvUserInterface::IKvButton** out) override;
    RZRESULT CreateListbox(KvUserInterface::IKvListbox** out) override;
    RZRESULT CreateFile(KvUtility::IKvFile** out) override;
    RZRESULT CreateDirectory(KvUtility::IKvDirectory** out) override;
    RZRESULT CreateList(KvUtility::IKvList** out) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;
    RZRESULT GetVersion(char16_t** out) override;
    RZRESULT GetIniString(const char16_t* file, const char16_t* section, const char16_t* key,
                          char16_t* out, int outChars) override;
    RZRESULT GetFieldInt(const char16_t* line, int index, int* out) override;
    RZRESULT GetFieldString(const char16_t* line, int index, char16_t* out, int outChars) override;
    RZRESULT MBToWide(const char* src, int srcLen, char16_t* dst, int dstChars) override;
    RZRESULT WideToMB(const char16_t* src, int srcChars, char* dst, int dstBytes) override;

private:
    CVantrel();
    ~CVantrel() = default;
};
