#include "tags/photodate.h"

#include "platform/filecontent.h"
#include "tags/extensionmatch.h"
#include "tags/filewindow.h"
#include "tags/photochunks.h"
#include "tags/tiffexif.h"

#include <exiv2/basicio.hpp>
#include <exiv2/bmffimage.hpp>
#include <exiv2/error.hpp>
#include <exiv2/exif.hpp>
#include <exiv2/image.hpp>
#include <exiv2/jpgimage.hpp>
#include <exiv2/pngimage.hpp>
#include <exiv2/webpimage.hpp>
#include <exiv2/xmp_exiv2.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <mutex>

namespace quorbit {

namespace {

// The largest block Exiv2 gets in one read, and the largest chunk it may read
// whole. Metadata blocks are far smaller: Exif keeps below 64 KiB, ICC
// profiles and XMP packets below a few MiB; a larger block comes from a
// damaged size field or a file made to exhaust memory.
constexpr std::int64_t maxBlockBytes = 16 * 1024 * 1024;
// How much Exiv2 may read of one file in all, so that no file costs much time.
// It reads a JPEG's segments up to the image data and copies the ICC profile
// gathered so far at each one, a time that grows with the square of their
// length: 8 MiB keep it near a quarter of a second. The other formats are read
// chunk by chunk (a WebP whole, image included).
constexpr std::int64_t jpegReadBytes = 8 * 1024 * 1024;
constexpr std::int64_t otherReadBytes = 32 * 1024 * 1024;

// A stretch of a file as Exiv2 reads it: through the handle opened in the
// folder, never by a path; every write fails, and so does a read past the
// budget or of a block larger than maxBlockBytes. Positions and the
// end-of-file flag behave as in Exiv2's own MemIo.
class ReadOnlyIo : public Exiv2::BasicIo {
public:
    // The `length` bytes of `file` from `start`: the whole file, or the JPEG
    // that an RW2 file embeds.
    ReadOnlyIo(const files::ReadOnlyFile& file, const std::string& name, std::int64_t start, std::int64_t length,
               std::int64_t budget)
        : m_window(file)
        , m_name(name)
        , m_start(start)
        , m_length(length)
        , m_budget(budget)
    {
    }

    int open() override
    {
        m_position = 0;
        m_eof = false;
        return 0;
    }

    int close() override { return 0; }

    long write(const Exiv2::byte*, long) override { return 0; }
    long write(Exiv2::BasicIo&) override { return 0; }
    int putb(Exiv2::byte) override { return EOF; }

    Exiv2::DataBuf read(long count) override
    {
        if (count > maxBlockBytes) {
            throw Exiv2::Error(Exiv2::kerCorruptedMetadata);
        }
        Exiv2::DataBuf buffer(std::max(0L, std::min(count, static_cast<long>(m_length - m_position))));
        buffer.size_ = read(buffer.pData_, buffer.size_);
        m_eof = m_eof || buffer.size_ < count;
        return buffer;
    }

    long read(Exiv2::byte* buffer, long count) override
    {
        const std::int64_t wanted = std::clamp<std::int64_t>(count, 0, m_length - m_position);
        m_budget -= wanted;
        if (m_budget < 0) {
            throw Exiv2::Error(Exiv2::kerFailedToReadImageData);
        }
        m_window.seek(m_start + m_position);
        const auto got = static_cast<long>(m_window.read(buffer, static_cast<std::size_t>(wanted)));
        m_position += got;
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
        m_position = base + offset;
        m_eof = false;
        return 0;
    }

    // Only the TIFF-based readers map a file, and those formats are read
    // without Exiv2. Mapping would be unsafe anyway: a mapped file that another
    // program shortens meanwhile ends the process with SIGBUS.
    Exiv2::byte* mmap(bool) override { throw Exiv2::Error(Exiv2::kerCallFailed, m_name, "mmap", "not supported"); }
    int munmap() override { return 0; }

    long tell() const override { return static_cast<long>(m_position); }
    size_t size() const override { return static_cast<size_t>(m_length); }
    bool isopen() const override { return true; }
    int error() const override { return 0; }
    bool eof() const override { return m_eof; }
    std::string path() const override { return m_name; }

private:
    FileWindow m_window;
    const std::string& m_name;
    const std::int64_t m_start;
    const std::int64_t m_length;
    std::int64_t m_budget;
    std::int64_t m_position = 0;
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

std::optional<std::string> valueOf(const Exiv2::ExifData& exif, const char* key)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    return found == exif.end() ? std::nullopt : std::optional(found->toString());
}

// The formats Exiv2 reads here, told by their first bytes as Exiv2 tells them.
enum class Format { Jpeg, Png, WebP, Bmff };

std::optional<Format> formatOf(std::string_view head)
{
    if (head.starts_with("\xFF\xD8")) {
        return Format::Jpeg;
    }
    if (head.starts_with("\x89PNG\r\n\x1A\n")) {
        return Format::Png;
    }
    if (head.size() < 12) {
        return std::nullopt;
    }
    if (head.starts_with("RIFF") && head.substr(8, 4) == "WEBP") {
        return Format::WebP;
    }
    // ISO base media, but not a QuickTime film; Exiv2 takes JPEG XL's box for one too.
    if ((head.substr(4, 4) == "ftyp" || head.substr(4, 4) == "JXL ") && head.substr(8, 4) != "qt  ") {
        return Format::Bmff;
    }
    return std::nullopt;
}

// Whether each chunk Exiv2 would read whole of a file of `format` holds at
// most maxBlockBytes. A JPEG segment holds at most 64 KiB.
bool chunksFit(Format format, FileWindow& window)
{
    switch (format) {
    case Format::Png:
        return pngChunksFit(window, maxBlockBytes);
    case Format::WebP:
        return webpChunksFit(window, maxBlockBytes);
    case Format::Bmff:
        return bmffBoxesFit(window, maxBlockBytes);
    case Format::Jpeg:
        break;
    }
    return true;
}

// Exiv2 0.27 hands streams and images over in std::auto_ptr, which C++11 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// The Exif values Exiv2 reads of the `length` bytes of `file` from `start`.
ExifFields readWithExiv2(Format format, const files::ReadOnlyFile& file, const std::string& name, std::int64_t start,
                         std::int64_t length)
{
    Exiv2::BasicIo::AutoPtr io(
        new ReadOnlyIo(file, name, start, length, format == Format::Jpeg ? jpegReadBytes : otherReadBytes));
    Exiv2::Image::AutoPtr image;
    switch (format) {
    case Format::Jpeg:
        image.reset(new Exiv2::JpegImage(io, false));
        break;
    case Format::Png:
        image.reset(new Exiv2::PngImage(io, false));
        break;
    case Format::WebP:
        image.reset(new Exiv2::WebPImage(io));
        break;
    case Format::Bmff:
        image.reset(new Exiv2::BmffImage(io, false));
        break;
    }
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    return {valueOf(exif, "Exif.Photo.DateTimeOriginal"), valueOf(exif, "Exif.Photo.DateTimeDigitized"),
            valueOf(exif, "Exif.Image.DateTime"), valueOf(exif, "Exif.Image.Make"), valueOf(exif, "Exif.Image.Model")};
}
#pragma GCC diagnostic pop

// The Exif values of a TIFF-based file. Those of the JPEG an RW2 file embeds
// fill in what the raw file's own IFDs lack, as in Exiv2, which passes over a
// JPEG it cannot read.
std::optional<ExifFields> readTiffBased(const files::ReadOnlyFile& file, const std::string& name)
{
    FileWindow window(file);
    const std::optional<TiffExif> tiff = readTiffExif(window);
    if (!tiff || tiff->jpegLength == 0) {
        return tiff ? std::optional(tiff->fields) : std::nullopt;
    }
    ExifFields fields = tiff->fields;
    try {
        const ExifFields jpeg = readWithExiv2(Format::Jpeg, file, name, tiff->jpegStart, tiff->jpegLength);
        for (const auto field : {&ExifFields::dateTimeOriginal, &ExifFields::dateTimeDigitized, &ExifFields::dateTime,
                                 &ExifFields::make, &ExifFields::model}) {
            if (!(fields.*field)) {
                fields.*field = jpeg.*field;
            }
        }
    } catch (const Exiv2::AnyError&) {
    }
    return fields;
}

// The first valid time of DateTimeOriginal, DateTimeDigitized and DateTime.
std::optional<PhotoMetadata> metadataOf(const ExifFields& fields)
{
    for (const auto& taken : {fields.dateTimeOriginal, fields.dateTimeDigitized, fields.dateTime}) {
        const std::string text = trimmed(taken.value_or(""));
        if (isExifDateTime(text)) {
            return PhotoMetadata{text, trimmed(fields.make.value_or("")), trimmed(fields.model.value_or(""))};
        }
    }
    return std::nullopt;
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
        std::string head(16, '\0');
        head.resize(file.readAt(0, head.data(), head.size()));
        if (isTiffHeader(head)) {
            const std::optional<ExifFields> fields = readTiffBased(file, name);
            return fields ? metadataOf(*fields) : std::nullopt;
        }
        const std::optional<Format> format = formatOf(head);
        FileWindow window(file);
        if (format && chunksFit(*format, window)) {
            return metadataOf(readWithExiv2(*format, file, name, 0, file.size()));
        }
    } catch (const std::exception&) {
        // Exiv2 throws on damaged files and on reads past its limits, and the
        // standard library may under it.
    }
    return std::nullopt;
}

} // namespace quorbit
