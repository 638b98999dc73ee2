#include "library/CVantrel.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "library/KvLog.h"
#include "library/LibFactory.h"
#include "library/utility/IniReader.h"
#include "platform/text/Text.h"

namespace {
std::mutex g_instanceMutex;
CVantrel* g_pInstance = nullptr;
}  // namespace

CVantrel::CVantrel() {
    KvDeleteLogs();
}

CVantrel* CVantrel::GetInstance() {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!g_pInstance)
        g_pInstance = new (std::nothrow) CVantrel();
    return g_pInstance;
}

RZRESULT CVantrel::CreatePlayer(KvMultimedia::IKvPlayer** out) {
    return KvMultimedia::NewPlayer(out);
}
RZRESULT CVantrel::CreatePlaylist(KvMultimedia::IKvPlaylist** out) {
    return KvMultimedia::NewPlaylist(out);
}
RZRESULT CVantrel::CreatePListContainer(KvMultimedia::IKvPListContainer** out) {
    return KvMultimedia::NewPListContainer(out);
}
RZRESULT CVantrel::CreateImage(KvMultimedia::IKvImage** out, const char16_t* path) {
    return KvMultimedia::NewImage(out, path);
}
RZRESULT CVantrel::CreateText(KvUserInterface::IKvText** out) {
    return KvUserInterface::NewText(out);
}
RZRESULT CVantrel::CreateButton(KvUserInterface::IKvButton** out) {
    return KvUserInterface::NewButton(out);
}
RZRESULT CVantrel::CreateListbox(KvUserInterface::IKvListbox** out) {
    return KvUserInterface::NewListbox(out);
}
RZRESULT CVantrel::CreateFile(KvUtility::IKvFile** out) {
    return KvUtility::NewFile(out);
}
RZRESULT CVantrel::CreateDirectory(KvUtility::IKvDirectory** out) {
    return KvUtility::NewDirectory(out);
}
RZRESULT CVantrel::CreateList(KvUtility::IKvList** out) {
    return KvUtility::NewList(out);
}

RZRESULT CVantrel::AddRef() {
    return CKvObject::AddRef();
}

RZRESULT CVantrel::Release() {
    uint16_t count = CKvObject::Release();
    if (count == 0) {
        std::lock_guard<std::mutex> lock(g_instanceMutex);
        if (g_pInstance == this)
            g_pInstance = nullptr;
        delete this;
    }
    return count;
}

RZRESULT CVantrel::GetVersion(char16_t** out) {
    if (!out)
        return RZ_FAIL;
    *out = nullptr;
    const std::u16string_view version = VANTREL_VERSION_TEXT;
    auto* copy = static_cast<char16_t*>(std::malloc((version.size() + 1) * sizeof(char16_t)));
    if (!copy)
        return RZ_FAIL;
    std::memcpy(copy, version.data(), version.size() * sizeof(char16_t));
    copy[version.size()] = 0;
    *out = copy;
    return RZ_OK;
}

RZRESULT CVantrel::GetIniString(const char16_t* file, const char16_t* section, const char16_t* key,
                                char16_t* out, int outChars) {
    return KvUtility::IniGetString(file, section, key, out, outChars);
}

RZRESULT CVantrel::GetFieldInt(const char16_t* line, int index, int* out) {
    return KvUtility::IniGetFieldInt(line, index, out);
}

RZRESULT CVantrel::GetFieldString(const char16_t* line, int index, char16_t* out, int outChars) {
    return KvUtility::IniGetFieldString(line, index, out, outChars);
}

RZRESULT CVantrel::MBToWide(const char* src, int srcLen, char16_t* dst, int dstChars) {
    if (!dst || dstChars <= 0)
        return RZ_OK;
    std::memset(dst, 0, static_cast<size_t>(dstChars) * sizeof(char16_t));
    if (!src)
        return RZ_OK;
    size_t len = srcLen < 0 ? std::strlen(src) : static_cast<size_t>(srcLen);
    std::u16string wide = plat::Utf8ToUtf16(std::string_view(src, len));
    // A text that does not fit leaves the output empty, as a failed conversion does: a cut
    // path would name another file.
    if (wide.size() >= static_cast<size_t>(dstChars))
        return RZ_OK;
    std::memcpy(dst, wide.data(), wide.size() * sizeof(char16_t));
    return RZ_OK;
}

RZRESULT CVantrel::WideToMB(const char16_t* src, int srcChars, char* dst, int dstBytes) {
    if (!dst || dstBytes <= 0)
        return RZ_OK;
    std::memset(dst, 0, static_cast<size_t>(dstBytes));
    if (!src)
        return RZ_OK;
    size_t len = srcChars < 0 ? plat::StrLen(src) : static_cast<size_t>(srcChars);
    std::string narrow = plat::Utf16ToUtf8(std::u16string_view(src, len));
    if (narrow.size() >= static_cast<size_t>(dstBytes))
        return RZ_OK;
    std::memcpy(dst, narrow.data(), narrow.size());
    return RZ_OK;
}

extern "C" __attribute__((visibility("default"))) IVantrel* CreateIVantrel() {
    CVantrel* root = CVantrel::GetInstance();
    if (!root)
        return nullptr;
    root->AddRef();
    return root;
}
