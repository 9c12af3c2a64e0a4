// The version resource lives in the ELF section ".brontal_version"; it is read from the file with
// the section headers, without loading the file, so any library or program can be asked.
#include "version_file.h"

#include <versionresource.h>

#include <elf.h>

#include <cstring>

namespace version {

namespace {

// Limits that keep a damaged or hostile file from making us read without end.
constexpr std::uint64_t kMaxSections = 1u << 20;
constexpr std::uint64_t kMaxNamesBytes = 16u << 20;
constexpr std::uint64_t kMaxBlockBytes = 1u << 20;

class FileReader {
  public:
    explicit FileReader(LPCSTR name)
        : handle_(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~FileReader() {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

    bool Size(std::uint64_t& size) {
        LARGE_INTEGER value;
        if (!GetFileSizeEx(handle_, &value) || value.QuadPart < 0) {
            return false;
        }
        size = static_cast<std::uint64_t>(value.QuadPart);
        return true;
    }

    // Exactly count bytes at offset.
    bool Read(std::uint64_t offset, void* buffer, std::size_t count) {
        LONG high = static_cast<LONG>(offset >> 32);
        if (SetFilePointer(handle_, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) ==
                INVALID_SET_FILE_POINTER &&
            GetLastError() != NO_ERROR) {
            return false;
        }
        auto* out = static_cast<BYTE*>(buffer);
        while (count > 0) {
            const DWORD chunk = count > 0x10000000u ? 0x10000000u : static_cast<DWORD>(count);
            DWORD got = 0;
            if (!ReadFile(handle_, out, chunk, &got, nullptr) || got == 0) {
                return false;
            }
            out += got;
            count -= got;
        }
        return true;
    }

  private:
    HANDLE handle_;
};

bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

bool IsValidBlock(const BYTE* data, std::size_t size) {
    using brontal_version::Header;
    if (size < sizeof(Header)) {
        return false;
    }
    Header header;
    std::memcpy(&header, data, sizeof(header));
    if (header.magic != brontal_version::kMagic || header.size < sizeof(Header) ||
        header.size > size || header.fixed.dwSignature != VS_FFI_SIGNATURE) {
        return false;
    }
    // Pairs of zero-ended texts up to an empty name, all inside the block.
    const BYTE* p = data + sizeof(Header);
    const BYTE* end = data + header.size;
    while (true) {
        const void* nameEnd = std::memchr(p, 0, static_cast<std::size_t>(end - p));
        if (!nameEnd) {
            return false;
        }
        if (nameEnd == p) {
            return true;
        }
        p = static_cast<const BYTE*>(nameEnd) + 1;
        const void* valueEnd = std::memchr(p, 0, static_cast<std::size_t>(end - p));
        if (!valueEnd) {
            return false;
        }
        p = static_cast<const BYTE*>(valueEnd) + 1;
    }
}

DWORD ReadVersionBlock(LPCSTR fileName, std::vector<BYTE>& block) {
    block.clear();
    if (!fileName) {
        return ERROR_INVALID_PARAMETER;
    }
    FileReader file(fileName);
    if (!file.IsOpen()) {
        const DWORD error = GetLastError();
        return error != NO_ERROR ? error : ERROR_FILE_NOT_FOUND;
    }
    std::uint64_t fileSize = 0;
    if (!file.Size(fileSize)) {
        return ERROR_READ_FAULT;
    }
    Elf64_Ehdr elf;
    // A file that is not a 64-bit little-endian ELF object simply has no such resource.
    if (fileSize < sizeof(elf) || !file.Read(0, &elf, sizeof(elf)) ||
        std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 || elf.e_ident[EI_CLASS] != ELFCLASS64 ||
        elf.e_ident[EI_DATA] != ELFDATA2LSB) {
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    if (elf.e_shoff == 0) {
        return ERROR_RESOURCE_TYPE_NOT_FOUND;
    }
    if (elf.e_shentsize < sizeof(Elf64_Shdr)) {
        return ERROR_BAD_FORMAT;
    }
    auto readSection = [&](std::uint64_t index, Elf64_Shdr& section) {
        const std::uint64_t offset = elf.e_shoff + index * elf.e_shentsize;
        return Inside(offset, sizeof(section), fileSize) &&
               file.Read(offset, &section, sizeof(section));
    };
    // Counts that do not fit the header are kept in section 0.
    std::uint64_t sectionCount = elf.e_shnum;
    std::uint64_t namesIndex = elf.e_shstrndx;
    if (sectionCount == 0 || namesIndex == SHN_XINDEX) {
        Elf64_Shdr first;
        if (!readSection(0, first)) {
            return ERROR_BAD_FORMAT;
        }
        if (sectionCount == 0) {
            sectionCount = first.sh_size;
        }
        if (namesIndex == SHN_XINDEX) {
            namesIndex = first.sh_link;
        }
    }
    if (sectionCount == 0 || sectionCount > kMaxSections || namesIndex >= sectionCount ||
        !Inside(elf.e_shoff, sectionCount * elf.e_shentsize, fileSize)) {
        return ERROR_BAD_FORMAT;
    }
    Elf64_Shdr namesSection;
    if (!readSection(namesIndex, namesSection) || namesSection.sh_type == SHT_NOBITS ||
        namesSection.sh_size > kMaxNamesBytes ||
        !Inside(namesSection.sh_offset, namesSection.sh_size, fileSize)) {
        return ERROR_BAD_FORMAT;
    }
    std::vector<char> names(static_cast<std::size_t>(namesSection.sh_size) + 1, '\0');
    if (!file.Read(namesSection.sh_offset, names.data(), names.size() - 1)) {
        return ERROR_BAD_FORMAT;
    }
    for (std::uint64_t i = 0; i < sectionCount; ++i) {
        Elf64_Shdr section;
        if (!readSection(i, section)) {
            return ERROR_BAD_FORMAT;
        }
        if (section.sh_name >= namesSection.sh_size ||
            std::strcmp(names.data() + section.sh_name, brontal_version::kSectionName) != 0) {
            continue;
        }
        if (section.sh_type == SHT_NOBITS || section.sh_size > kMaxBlockBytes ||
            !Inside(section.sh_offset, section.sh_size, fileSize)) {
            return ERROR_BAD_FORMAT;
        }
        std::vector<BYTE> data(static_cast<std::size_t>(section.sh_size));
        if (!file.Read(section.sh_offset, data.data(), data.size()) ||
            !IsValidBlock(data.data(), data.size())) {
            return ERROR_BAD_FORMAT;
        }
        brontal_version::Header header;
        std::memcpy(&header, data.data(), sizeof(header));
        data.resize(header.size);  // the first block, should the section hold more
        block.swap(data);
        return NO_ERROR;
    }
    return ERROR_RESOURCE_TYPE_NOT_FOUND;
}

}  // namespace version
