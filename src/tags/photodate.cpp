#include "tags/photodate.h"

#include "platform/filecontent.h"
#include "tags/extensionmatch.h"
#include "tags/filewindow.h"

#include <exiv2/basicio.hpp>
#include <exiv2/bmffimage.hpp>
#include <exiv2/error.hpp>
#include <exiv2/exif.hpp>
#include <exiv2/image.hpp>
#include <exiv2/xmp_exiv2.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

namespace quorbit {

namespace {

// The file as Exiv2 reads it: through the handle opened in the folder, never
// by a path; every write fails. Positions and the end-of-file flag behave as
// in Exiv2's own MemIo.
class ReadOnlyIo : public Exiv2::BasicIo {
public:
    ReadOnlyIo(const files::ReadOnlyFile& file, const std::string& name)
        : m_file(file)
        , m_window(file)
        , m_name(name)
    {
    }

    int open() override
    {
        m_window.seek(0);
        m_eof = false;
        return 0;
    }

    int close() override
    {
        munmap();
        return 0;
    }

    long write(const Exiv2::byte*, long) override { return 0; }
    long write(Exiv2::BasicIo&) override { return 0; }
    int putb(Exiv2::byte) override { return EOF; }

    Exiv2::DataBuf read(long count) override
    {
        Exiv2::DataBuf buffer(std::max(0L, std::min(count, static_cast<long>(m_window.size() - m_window.position()))));
        buffer.size_ = read(buffer.pData_, buffer.size_);
        m_eof = m_eof || buffer.size_ < count;
        return buffer;
    }

    long read(Exiv2::byte* buffer, long count) override
    {
        const long got = count > 0 ? static_cast<long>(m_window.read(buffer, static_cast<std::size_t>(count))) : 0;
        m_eof = m_eof || got < count;
        return got;
    }

    int getb() override
    {
        Exiv2::byte byte = 0;
        return read(&byte, 1) == 1 ? byte : EOF;
    }

    void transfer(Exiv2::BasicIo&) override { throw Exiv2::Error(Exiv2::kerFunctionNotSupported, "transfer"); }

    int seek(long offset, Position from) override
    {
        const long base = from == beg ? 0 : from == cur ? tell() : static_cast<long>(size());
        if (base + offset < 0) {
            return 1;
        }
        if (base + offset > static_cast<long>(size())) {
            m_eof = true;
            return 1;
        }
        m_window.seek(base + offset);
        m_eof = false;
        return 0;
    }

    // TIFF-based readers (raw files) parse the whole file in memory. It is
    // read into a copy rather than mapped: a mapped file that another program
    // shortens meanwhile would end the process with SIGBUS. Bytes it no
    // longer has read as zeros.
    Exiv2::byte* mmap(bool writeable) override
    {
        if (writeable || size() == 0) {
            throw Exiv2::Error(Exiv2::kerCallFailed, m_name, "mmap", "read-only");
        }
        if (m_copy.empty()) {
            m_copy.resize(size());
            m_file.readAt(0, reinterpret_cast<char*>(m_copy.data()), m_copy.size());
        }
        return m_copy.data();
    }

    int munmap() override
    {
        m_copy = {};
        return 0;
    }

    long tell() const override { return static_cast<long>(m_window.position()); }
    size_t size() const override { return static_cast<size_t>(m_window.size()); }
    bool isopen() const override { return true; }
    int error() const override { return 0; }
    bool eof() const override { return m_eof; }
    std::string path() const override { return m_name; }

private:
    const files::ReadOnlyFile& m_file;
    FileWindow m_window;
    const std::string& m_name;
    std::vector<Exiv2::byte> m_copy;
    bool m_eof = false;
};

// Once per process: Exiv2 says nothing on stderr, reads HEIF, and has its XMP
// parser set up before two threads could race to do it.
void setUpExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::enableBMFF(true);
        Exiv2::XmpParser::initialize();
    });
}

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// "YYYY:MM:DD HH:MM:SS" with a real date and time; cameras that were never set
// write zeros or blanks.
bool isExifDateTime(const std::string& text)
{
    if (text.size() != 19 || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':'
        || text[16] != ':') {
        return false;
    }
    for (const std::size_t digit : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18}) {
        if (!std::isdigit(static_cast<unsigned char>(text[digit]))) {
            return false;
        }
    }
    const auto number = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
    return text.compare(0, 4, "0000") != 0 && number(5) >= 1 && number(5) <= 12 && number(8) >= 1 && number(8) <= 31
        && number(11) <= 23 && number(14) <= 59 && number(17) <= 59;
}

std::string valueOf(const Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? std::string() : trimmed(found->toString());
}

} // namespace

bool hasPhotoExtension(std::string_view name)
{
    static const std::array<std::string_view, 14> extensions
        = {".jpg",  ".jpeg", ".tif", ".tiff", ".png", ".webp", ".heif",
           ".heic", ".cr2",  ".nef", ".arw",  ".dng", ".orf",  ".rw2"};
    return hasExtension(name, extensions);
}

std::optional<PhotoMetadata> readPhotoMetadata(const files::Folder& folder, const std::string& name)
{
    if (!hasPhotoExtension(name)) {
        return std::nullopt;
    }
    const files::ReadOnlyFile file(folder, name);
    if (!file.isOpen()) {
        return std::nullopt;
    }
    setUpExiv2();
    try {
        const Exiv2::Image::AutoPtr image
            = Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(new ReadOnlyIo(file, name)));
        if (image.get() == nullptr) {
            return std::nullopt;
        }
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized", "Exif.Image.DateTime"}) {
            const std::string taken = valueOf(exif, key);
            if (isExifDateTime(taken)) {
                return PhotoMetadata{taken, valueOf(exif, "Exif.Image.Make"), valueOf(exif, "Exif.Image.Model")};
            }
        }
    } catch (const std::exception&) {
        // Exiv2 throws on damaged files, and the standard library may under it.
    }
    return std::nullopt;
}

} // namespace quorbit
