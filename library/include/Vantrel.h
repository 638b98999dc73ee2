// The library's public interfaces: the only header of the library that the program sees.
#pragma once

#include "library/include/KvTypes.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvDirectory.h"
#include "library/include/IKvFile.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvList.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvPListContainer.h"
#include "library/include/IKvPlayer.h"
#include "library/include/IKvPlaylist.h"
#include "library/include/IKvText.h"

#define VANTREL_VERSION_TEXT u"2.00.080311"

// The root object: factory of every library object, skin ini reader and text conversion.
class IVantrel {
public:
    virtual RZRESULT CreatePlayer(KvMultimedia::IKvPlayer** out) = 0;
    virtual RZRESULT CreatePlaylist(KvMultimedia::IKvPlaylist** out) = 0;
    virtual RZRESULT CreatePListContainer(KvMultimedia::IKvPListContainer** out) = 0;
    virtual RZRESULT CreateImage(KvMultimedia::IKvImage** out, const char16_t* path) = 0;
    virtual RZRESULT CreateText(KvUserInterface::IKvText** out) = 0;
    virtual RZRESULT CreateButton(KvUserInterface::IKvButton** out) = 0;
    virtual RZRESULT CreateListbox(KvUserInterface::IKvListbox** out) = 0;
    virtual RZRESULT CreateFile(KvUtility::IKvFile** out) = 0;
    virtual RZRESULT CreateDirectory(KvUtility::IKvDirectory** out) = 0;
    virtual RZRESULT CreateList(KvUtility::IKvList** out) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;
    // *out is allocated with malloc; the caller frees it with free().
    virtual RZRESULT GetVersion(char16_t** out) = 0;
    virtual RZRESULT GetIniString(const char16_t* file, const char16_t* section,
                                  const char16_t* key, char16_t* out, int outChars) = 0;
    virtual RZRESULT GetFieldInt(const char16_t* line, int index, int* out) = 0;
    virtual RZRESULT GetFieldString(const char16_t* line, int index, char16_t* out,
                                    int outChars) = 0;
    // The "ANSI code page" of this system is UTF-8.
    virtual RZRESULT MBToWide(const char* src, int srcLen, char16_t* dst, int dstChars) = 0;
    virtual RZRESULT WideToMB(const char16_t* src, int srcChars, char* dst, int dstBytes) = 0;

protected:
    ~IVantrel() = default;
};

extern "C" {
// The library's one export. Each call adds one reference to the same root object.
IVantrel* CreateIVantrel();
typedef IVantrel* (*PFN_CreateIVantrel)();
}

#define VANTREL_MODULE_NAME "Vantrel.dll"
#define VANTREL_EXPORT_NAME "CreateIVantrel"
