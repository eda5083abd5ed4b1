#include "engine/FolderFiles.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>

#include "platform/ShellIcons.h"

namespace {

using Family = FolderFiles::Family;

// MIME types and the family each belongs to, tried in order: the first
// pattern that matches wins. A '*' stands for any run of characters (one at
// most per pattern); a pattern without one must be equal to the type. Names
// are the canonical ones of the shared MIME database (and aliases that a
// file may still be tagged with).
struct FamilyPattern {
    std::string_view pattern;
    Family family;
};

constexpr FamilyPattern kFamilies[] = {
    // Before the broad prefixes below that would take them.
    {"image/vnd.djvu*", Family::Documents},
    {"application/vnd.ms-cab-compressed", Family::Archives},
    {"application/vnd.ms-fontobject", Family::Fonts},
    {"application/vnd.ms-asf", Family::Video},
    {"application/x-raw-disk-image-xz-compressed", Family::DiskImages},
    {"application/x-compressed-iso", Family::DiskImages},
    // ".otf" names both this and OpenType fonts; the fonts are far more common.
    {"application/vnd.oasis.opendocument.formula-template", Family::Fonts},

    {"image/*", Family::Images},
    {"video/*", Family::Video},
    {"application/x-matroska", Family::Video},
    {"application/vnd.rn-realmedia", Family::Video},
    {"application/mxf", Family::Video},
    {"audio/*", Family::Audio},
    {"font/*", Family::Fonts},
    {"application/x-font-*", Family::Fonts},
    {"application/x-gz-font-linux-psf", Family::Fonts},

    {"application/vnd.debian.binary-package", Family::Packages},
    {"application/x-deb", Family::Packages},
    {"application/x-rpm", Family::Packages},
    {"application/x-source-rpm", Family::Packages},
    {"application/vnd.flatpak*", Family::Packages},
    {"application/vnd.snap", Family::Packages},
    {"application/vnd.appimage", Family::Packages},
    {"application/x-iso9660-appimage", Family::Packages},
    {"application/vnd.android.package-archive", Family::Packages},
    {"application/x-msi", Family::Packages},
    {"application/x-xpinstall", Family::Packages},

    {"application/x-cd-image", Family::DiskImages},
    {"application/x-iso9660-image", Family::DiskImages},
    {"application/x-raw-disk-image", Family::DiskImages},
    {"application/x-raw-floppy-disk-image", Family::DiskImages},
    {"application/x-qemu-disk", Family::DiskImages},
    {"application/x-qed-disk", Family::DiskImages},
    {"application/x-vdi-disk", Family::DiskImages},
    {"application/x-vmdk-disk", Family::DiskImages},
    {"application/x-vhd-disk", Family::DiskImages},
    {"application/x-vhdx-disk", Family::DiskImages},
    {"application/x-apple-diskimage", Family::DiskImages},
    {"application/x-ms-wim", Family::DiskImages},
    {"application/vnd.squashfs", Family::DiskImages},
    {"application/x-amiga-disk-format", Family::DiskImages},

    {"*-compressed-tar", Family::Archives},
    {"application/zip", Family::Archives},
    {"application/x-tar", Family::Archives},
    {"application/x-ustar", Family::Archives},
    {"application/x-tarz", Family::Archives},
    {"application/gzip", Family::Archives},
    {"application/x-gzip", Family::Archives},
    {"application/x-xz", Family::Archives},
    {"application/x-bzip*", Family::Archives},
    {"application/x-7z-compressed", Family::Archives},
    {"application/vnd.rar", Family::Archives},
    {"application/x-rar*", Family::Archives},
    {"application/zstd", Family::Archives},
    {"application/x-zstd", Family::Archives},
    {"application/x-lzma", Family::Archives},
    {"application/x-lz4", Family::Archives},
    {"application/x-lzip", Family::Archives},
    {"application/x-lzop", Family::Archives},
    {"application/x-lrzip", Family::Archives},
    {"application/x-compress", Family::Archives},
    {"application/zlib", Family::Archives},
    {"application/x-cpio*", Family::Archives},
    {"application/x-arj", Family::Archives},
    {"application/x-lha", Family::Archives},
    {"application/x-lhz", Family::Archives},
    {"application/x-ace", Family::Archives},
    {"application/x-alz", Family::Archives},
    {"application/x-arc", Family::Archives},
    {"application/x-zoo", Family::Archives},
    {"application/x-stuffit", Family::Archives},
    {"application/x-xar", Family::Archives},
    {"application/x-shar", Family::Archives},
    {"application/x-java-archive", Family::Archives},

    {"application/x-executable", Family::Executables},
    {"application/x-pie-executable", Family::Executables},
    {"application/x-sharedlib", Family::Executables},
    {"application/x-shared-library-la", Family::Executables},
    {"application/x-object", Family::Executables},
    {"application/x-archive", Family::Executables},  // ar: static libraries
    {"application/x-ms-dos-executable", Family::Executables},
    {"application/x-msdownload", Family::Executables},
    {"application/vnd.microsoft.portable-executable", Family::Executables},
    {"application/x-pef-executable", Family::Executables},
    {"application/x-java", Family::Executables},  // class files
    {"application/x-python-bytecode", Family::Executables},

    {"application/pdf", Family::Documents},
    {"application/postscript", Family::Documents},
    {"application/x-*pdf", Family::Documents},
    {"application/x-*postscript", Family::Documents},
    {"application/x-*dvi", Family::Documents},
    {"application/oxps", Family::Documents},
    {"application/vnd.ms-xpsdocument", Family::Documents},
    {"application/rtf", Family::Documents},
    {"application/msword*", Family::Documents},
    {"application/vnd.ms-*", Family::Documents},
    {"application/vnd.oasis.opendocument.*", Family::Documents},
    {"application/vnd.openxmlformats-officedocument.*", Family::Documents},
    {"application/vnd.sun.xml.*", Family::Documents},
    {"application/vnd.stardivision.*", Family::Documents},
    {"application/vnd.apple.keynote", Family::Documents},
    {"application/vnd.apple.numbers", Family::Documents},
    {"application/vnd.apple.pages", Family::Documents},
    {"application/vnd.wordperfect", Family::Documents},
    {"application/vnd.visio", Family::Documents},
    {"application/x-abiword", Family::Documents},
    {"application/x-gnumeric", Family::Documents},
    {"application/x-mswrite", Family::Documents},
    {"application/epub+zip", Family::Documents},
    {"application/x-mobipocket-ebook", Family::Documents},
    {"application/vnd.amazon.mobi8-ebook", Family::Documents},
    {"application/x-fictionbook+xml", Family::Documents},
    {"application/vnd.comicbook*", Family::Documents},
    {"application/xhtml+xml", Family::Documents},
    {"text/html", Family::Documents},
    {"text/markdown", Family::Documents},
    {"text/csv", Family::Documents},
    {"text/tab-separated-values", Family::Documents},
    {"text/rtf", Family::Documents},
    {"text/richtext", Family::Documents},
    {"text/org", Family::Documents},
    {"text/troff", Family::Documents},
    {"text/x-tex", Family::Documents},
    {"text/x-texinfo", Family::Documents},
    {"text/x-rst", Family::Documents},
    {"text/x-bibtex", Family::Documents},
    {"text/x-txt2tags", Family::Documents},

    // Text that is not a program, before text/x-* below.
    {"text/x-log", Family::Other},
    {"text/x-readme", Family::Other},
    {"text/x-authors", Family::Other},
    {"text/x-copying", Family::Other},
    {"text/x-credits", Family::Other},
    {"text/x-changelog", Family::Other},
    {"text/x-install", Family::Other},
    {"text/x-nfo", Family::Other},
    {"text/x-uri", Family::Other},
    {"text/x-uuencode", Family::Other},
    {"text/x-ldif", Family::Other},
    {"text/x-iMelody", Family::Other},
    {"text/x-google-video-pointer", Family::Other},
    {"text/x-microdvd", Family::Other},
    {"text/x-mpsub", Family::Other},
    {"text/x-mpl2", Family::Other},
    {"text/x-ssa", Family::Other},
    {"text/x-subviewer", Family::Other},

    // Source code, scripts and structured data.
    {"text/x-*", Family::Code},
    {"text/rust", Family::Code},
    {"text/css", Family::Code},
    {"text/javascript", Family::Code},
    {"text/tcl", Family::Code},
    {"text/vbscript", Family::Code},
    {"text/xml", Family::Code},
    {"application/javascript", Family::Code},
    {"application/ecmascript", Family::Code},
    {"application/vnd.coffeescript", Family::Code},
    {"application/x-shellscript", Family::Code},
    {"application/x-csh", Family::Code},
    {"application/x-perl", Family::Code},
    {"application/x-python*", Family::Code},
    {"application/x-ruby", Family::Code},
    {"application/x-php", Family::Code},
    {"application/x-awk", Family::Code},
    {"application/x-m4", Family::Code},
    {"application/x-gdscript", Family::Code},
    {"application/sql", Family::Code},
    {"application/json", Family::Code},
    {"*+json", Family::Code},
    {"application/xml", Family::Code},
    {"application/xml-dtd", Family::Code},
    {"application/xslt+xml", Family::Code},
    {"application/x-yaml", Family::Code},
    {"application/yaml", Family::Code},
    {"application/toml", Family::Code},
    {"application/x-desktop", Family::Code},
};

bool Matches(std::string_view pattern, std::string_view type)
{
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) {
        return type == pattern;
    }
    const std::string_view prefix = pattern.substr(0, star);
    const std::string_view suffix = pattern.substr(star + 1);
    return type.size() >= prefix.size() + suffix.size() &&
           type.substr(0, prefix.size()) == prefix &&
           type.substr(type.size() - suffix.size()) == suffix;
}

Family FamilyOfMimeType(std::string_view type)
{
    for (const FamilyPattern& entry : kFamilies) {
        if (Matches(entry.pattern, type)) {
            return entry.family;
        }
    }
    return Family::Other;
}

// Longer "extensions" are rather parts of generated names (backups, hashes):
// not worth a lookup or a place in the cache.
constexpr std::size_t kLongestExtension = 16;
// A folder of generated names could fill the cache with one-off extensions:
// it is dropped when it reaches this size.
constexpr std::size_t kCacheLimit = 4096;

}  // namespace

FolderFiles::Family FolderFiles::FamilyOfName(std::string_view name)
{
    // A version after the extension ("libfoo.so.6.4.2") is not the type.
    std::size_t dot = name.rfind('.');
    while (dot != std::string_view::npos && dot > 0 && dot + 1 < name.size() &&
           name.find_first_not_of("0123456789", dot + 1) == std::string_view::npos) {
        const std::size_t before = name.rfind('.', dot - 1);
        if (before == std::string_view::npos) {
            break;
        }
        name = name.substr(0, dot);
        dot = before;
    }
    // A hidden file's leading dot starts no extension (".bashrc"): each
    // such name would otherwise cost a look-up of its own.
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot - 1 > kLongestExtension ||
        dot + 1 == name.size()) {
        return Family::Other;
    }
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    thread_local std::unordered_map<std::string, Family> cache;
    if (const auto found = cache.find(extension); found != cache.end()) {
        return found->second;
    }
    // Looked up as a name of its own, so that the answer depends on the
    // extension alone, whichever name asked first.
    const Family family =
        FamilyOfMimeType(platform::ShellIcons::MimeTypeOfFileName("x." + extension));
    if (cache.size() >= kCacheLimit) {
        cache.clear();
    }
    cache.emplace(std::move(extension), family);
    return family;
}

FolderFiles& FolderFiles::Empty()
{
    static FolderFiles empty;
    return empty;
}

void FolderFiles::operator delete(FolderFiles* files, std::destroying_delete_t)
{
    if (files == &Empty()) {
        return;
    }
    const std::size_t size = files->HeapBytes();
    files->~FolderFiles();
    ::operator delete(files, size);
}

std::size_t FolderFiles::HeapBytes() const
{
    return this == &Empty() ? 0 : NamesOffset(m_count) + m_nameBytes;
}

void FolderFiles::Builder::Reserve(std::size_t count, std::size_t nameBytes)
{
    m_files.reserve(count);
    m_names.reserve(std::min(nameBytes, kMaxNameBytes));
}

void FolderFiles::Builder::Add(std::string_view name, FileSize size, FileSize diskSpace)
{
    if (m_files.size() == UINT32_MAX) {
        return;
    }
    // Offsets and lengths are narrow to keep the entry small: what does not
    // fit is cut, and full names give the later files empty ones.
    const std::size_t room = kMaxNameBytes - m_names.size();
    const std::size_t length =
        std::min({name.size(), room, std::size_t{std::numeric_limits<std::uint16_t>::max()}});
    File file;
    file.diskSpace = diskSpace;
    file.size = size;
    file.nameOffset = static_cast<std::uint32_t>(m_names.size());
    file.nameLength = static_cast<std::uint16_t>(length);
    m_names.append(name.data(), length);
    m_files.push_back(file);
}

std::unique_ptr<FolderFiles> FolderFiles::Builder::Build()
{
    if (m_files.empty()) {
        return std::unique_ptr<FolderFiles>(&Empty());
    }
    const std::size_t count = m_files.size();
    void* block = ::operator new(NamesOffset(count) + m_names.size());
    auto* files = ::new (block) FolderFiles;
    files->m_count = static_cast<std::uint32_t>(count);
    files->m_nameBytes = static_cast<std::uint32_t>(m_names.size());
    char* bytes = static_cast<char*>(block);
    std::memcpy(bytes + FilesOffset(), m_files.data(), count * sizeof(File));
    std::memcpy(bytes + NamesOffset(count), m_names.data(), m_names.size());
    // A huge folder's room is given back rather than kept for the next one.
    constexpr std::size_t kKeptBytes = 4 << 20;
    if (m_files.capacity() * sizeof(File) + m_names.capacity() > kKeptBytes) {
        m_files = std::vector<File>();
        m_names = std::string();
    } else {
        m_files.clear();
        m_names.clear();
    }
    return std::unique_ptr<FolderFiles>(files);
}
