#include "common/win32/nt_files.h"

#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE file, HANDLE event, PVOID apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK ioStatus,
                                               PVOID information, ULONG cbInformation,
                                               FILE_INFORMATION_CLASS informationClass,
                                               BOOLEAN returnSingleEntry, PUNICODE_STRING fileName,
                                               BOOLEAN restartScan);

namespace mossgate {

namespace {

// Constants of the native interface that the SDK headers keep to the driver kit.
constexpr ULONG NT_FILE_OPEN = 0x00000001;
constexpr ULONG NT_FILE_CREATE = 0x00000002;
constexpr ULONG NT_FILE_OPEN_IF = 0x00000003;
constexpr ULONG NT_FILE_DIRECTORY_FILE = 0x00000001;
constexpr ULONG NT_FILE_SYNCHRONOUS_IO_NONALERT = 0x00000020;
constexpr ULONG NT_FILE_NON_DIRECTORY_FILE = 0x00000040;
constexpr ULONG NT_FILE_OPEN_REPARSE_POINT = 0x00200000;
constexpr NtStatus STATUS_NO_MORE_FILES = static_cast<NtStatus>(0x80000006L);

constexpr auto FILE_BASIC_INFORMATION_CLASS = static_cast<FILE_INFORMATION_CLASS>(4);
constexpr auto FILE_INTERNAL_INFORMATION_CLASS = static_cast<FILE_INFORMATION_CLASS>(6);
constexpr auto FILE_DISPOSITION_INFORMATION_CLASS = static_cast<FILE_INFORMATION_CLASS>(13);
constexpr auto FILE_ATTRIBUTE_TAG_INFORMATION_CLASS = static_cast<FILE_INFORMATION_CLASS>(35);
constexpr auto FILE_ID_BOTH_DIRECTORY_INFORMATION_CLASS = static_cast<FILE_INFORMATION_CLASS>(37);

constexpr ACCESS_MASK WORK_FOLDER_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE |
                                           FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES |
                                           SYNCHRONIZE;
constexpr ACCESS_MASK REMOVE_FOLDER_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE |
                                             FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | DELETE |
                                             SYNCHRONIZE;

// The record of one listed entry; its name follows at FileName, not terminated.
struct IdBothDirectoryRecord {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    LARGE_INTEGER FileId;
    WCHAR FileName[1];
};
static_assert(offsetof(IdBothDirectoryRecord, FileAttributes) == LISTING_ATTRIBUTES_OFFSET);
static_assert(offsetof(IdBothDirectoryRecord, FileNameLength) == LISTING_NAME_LENGTH_OFFSET);
static_assert(offsetof(IdBothDirectoryRecord, FileId) == LISTING_FILE_ID_OFFSET);
static_assert(offsetof(IdBothDirectoryRecord, FileName) == LISTING_NAME_OFFSET);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

struct AttributeTagInformation {
    ULONG FileAttributes;
    ULONG ReparseTag;
};

struct DispositionInformation {
    BOOLEAN DeleteFile;
};

// Times of 0 leave the file's times as they are.
struct BasicInformation {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    ULONG FileAttributes;
};
// The system's record, padded to the alignment of its times in both builds.
static_assert(sizeof(BasicInformation) == 5 * sizeof(LARGE_INTEGER));

bool MakeName(UNICODE_STRING& text, const wchar_t* name) {
    const size_t cch = wcsnlen(name, ENTRY_NAME_CHARS);
    if (cch == 0 || cch >= ENTRY_NAME_CHARS || wcschr(name, L'\\') != nullptr) {
        return false;
    }
    text.Buffer = const_cast<PWSTR>(name);
    text.Length = static_cast<USHORT>(cch * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    return true;
}

// Names are compared without regard to case, as the system does on its volumes.
NtStatus OpenRelative(HANDLE folder, const wchar_t* name, ACCESS_MASK access, ULONG share,
                      ULONG disposition, ULONG options, UniqueHandle& out) {
    out.Reset();
    UNICODE_STRING text;
    if (folder == nullptr || !MakeName(text, name)) {
        return STATUS_NAME_MISSING;
    }
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io = {};
    HANDLE opened = nullptr;
    const NtStatus status =
        NtCreateFile(&opened, access, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                     disposition, options | NT_FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (status >= 0) {
        out.Reset(opened);
    }
    return status;
}

ULONG NativeDisposition(Disposition disposition) {
    switch (disposition) {
    case Disposition::OpenExisting:
        return NT_FILE_OPEN;
    case Disposition::OpenOrCreate:
        return NT_FILE_OPEN_IF;
    case Disposition::CreateNew:
        break;
    }
    return NT_FILE_CREATE;
}

FolderEntry ToFolderEntry(const ListedRecord& record) {
    FolderEntry entry;
    std::memcpy(entry.name, record.name, sizeof(entry.name));
    entry.attributes = record.attributes;
    entry.fileId = record.fileId;
    return entry;
}

} // namespace

NtStatus OpenFolderToWorkIn(HANDLE folder, const wchar_t* name, Disposition disposition,
                            bool followLink, UniqueHandle& out) {
    // No FILE_SHARE_DELETE: while the program holds one of its folders, nobody can
    // move it away or put something else under its name. No DELETE access either:
    // a current folder of some process (held without delete sharing) stays openable.
    const ULONG options = NT_FILE_DIRECTORY_FILE | (followLink ? 0 : NT_FILE_OPEN_REPARSE_POINT);
    return OpenRelative(folder, name, WORK_FOLDER_ACCESS, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        NativeDisposition(disposition), options, out);
}

NtStatus OpenFolderToRemove(HANDLE folder, const wchar_t* name, UniqueHandle& out) {
    return OpenRelative(folder, name, REMOVE_FOLDER_ACCESS,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NT_FILE_OPEN,
                        NT_FILE_DIRECTORY_FILE | NT_FILE_OPEN_REPARSE_POINT, out);
}

NtStatus OpenFileForDeletion(HANDLE folder, const wchar_t* name, UniqueHandle& out) {
    return OpenRelative(folder, name,
                        DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NT_FILE_OPEN,
                        NT_FILE_NON_DIRECTORY_FILE | NT_FILE_OPEN_REPARSE_POINT, out);
}

NtStatus OpenToInspect(HANDLE folder, const wchar_t* name, UniqueHandle& out) {
    return OpenRelative(folder, name, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NT_FILE_OPEN,
                        NT_FILE_OPEN_REPARSE_POINT, out);
}

// With delete access, so that a file that could not be written whole can be taken
// back through the same handle.
NtStatus CreateNewFileForWriting(HANDLE folder, const wchar_t* name, UniqueHandle& out) {
    return OpenRelative(folder, name, GENERIC_WRITE | DELETE | SYNCHRONIZE, 0, NT_FILE_CREATE,
                        NT_FILE_NON_DIRECTORY_FILE, out);
}

bool QueryHandleAttributes(HANDLE handle, DWORD& attributes) {
    IO_STATUS_BLOCK io = {};
    AttributeTagInformation tag = {};
    if (NtQueryInformationFile(handle, &io, &tag, sizeof(tag),
                               FILE_ATTRIBUTE_TAG_INFORMATION_CLASS) < 0) {
        return false;
    }
    attributes = tag.FileAttributes;
    return true;
}

bool QueryFileId(HANDLE handle, uint64_t& fileId) {
    IO_STATUS_BLOCK io = {};
    LARGE_INTEGER index = {};
    if (NtQueryInformationFile(handle, &io, &index, sizeof(index),
                               FILE_INTERNAL_INFORMATION_CLASS) < 0) {
        return false;
    }
    fileId = static_cast<uint64_t>(index.QuadPart);
    return true;
}

bool MarkForDeletion(HANDLE handle) {
    IO_STATUS_BLOCK io = {};
    DispositionInformation disposition = {TRUE};
    return NtSetInformationFile(handle, &io, &disposition, sizeof(disposition),
                                FILE_DISPOSITION_INFORMATION_CLASS) >= 0;
}

bool SetHandleAttributes(HANDLE handle, DWORD attributes) {
    IO_STATUS_BLOCK io = {};
    BasicInformation basic = {};
    basic.FileAttributes = attributes;
    return NtSetInformationFile(handle, &io, &basic, sizeof(basic), FILE_BASIC_INFORMATION_CLASS) >=
           0;
}

bool QueryHandleName(HANDLE handle, wchar_t* name, size_t cchName) {
    // The name follows its counted text in the same block.
    HeapBuffer block(sizeof(UNICODE_STRING) + cchName * sizeof(wchar_t));
    ULONG cbReturned = 0;
    if (block.As<void>() == nullptr ||
        NtQueryObject(handle, ObjectNameInformation, block.As<void>(),
                      static_cast<ULONG>(block.Size()), &cbReturned) < 0) {
        return false;
    }
    const UNICODE_STRING& text = *block.As<UNICODE_STRING>();
    const size_t cchText = text.Length / sizeof(wchar_t);
    if (cchText >= cchName || text.Buffer == nullptr) {
        return false;
    }
    wmemcpy(name, text.Buffer, cchText);
    name[cchText] = L'\0';
    return true;
}

bool FindFolderEntry(HANDLE folder, const wchar_t* name, FolderEntry& entry) {
    UNICODE_STRING pattern;
    // Wildcards would match other names than this one.
    if (!MakeName(pattern, name) || wcspbrk(name, L"*?<>\"") != nullptr) {
        return false;
    }
    alignas(8) uint8_t record[sizeof(IdBothDirectoryRecord) + ENTRY_NAME_CHARS * sizeof(wchar_t)];
    IO_STATUS_BLOCK io = {};
    const NtStatus status =
        NtQueryDirectoryFile(folder, nullptr, nullptr, nullptr, &io, record, sizeof(record),
                             FILE_ID_BOTH_DIRECTORY_INFORMATION_CLASS, TRUE, &pattern, TRUE);
    ListedRecord listed;
    if (status < 0 ||
        !ReadListedRecord(record, std::min<size_t>(io.Information, sizeof(record)), 0, listed)) {
        return false;
    }
    entry = ToFolderEntry(listed);
    return _wcsicmp(entry.name, name) == 0;
}

bool FolderListing::Refill() {
    if (ended_ || batch_.As<uint8_t>() == nullptr) {
        return false;
    }
    IO_STATUS_BLOCK io = {};
    const NtStatus status = NtQueryDirectoryFile(
        folder_, nullptr, nullptr, nullptr, &io, batch_.As<void>(),
        static_cast<ULONG>(batch_.Size()), FILE_ID_BOTH_DIRECTORY_INFORMATION_CLASS, FALSE, nullptr,
        started_ ? FALSE : TRUE);
    started_ = true;
    if (status < 0 || status == STATUS_NO_MORE_FILES || io.Information == 0) {
        ended_ = true;
        return false;
    }
    filled_ = std::min<size_t>(io.Information, batch_.Size());
    offset_ = 0;
    return true;
}

bool FolderListing::Next(FolderEntry& entry) {
    if (offset_ >= filled_ && !Refill()) {
        return false;
    }
    ListedRecord listed;
    if (!ReadListedRecord(batch_.As<uint8_t>(), filled_, offset_, listed)) {
        ended_ = true;
        filled_ = offset_ = 0;
        return false;
    }
    entry = ToFolderEntry(listed);
    offset_ = listed.next;
    return true;
}

} // namespace mossgate
