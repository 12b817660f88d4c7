// Standard streams over the tests' own read, write and close functions, made
// with fopencookie (glibc, musl) or funopen (the BSDs, macOS), where the C
// library has one of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#if defined(KORDIMALEN_HAVE_FOPENCOOKIE) || defined(KORDIMALEN_HAVE_FUNOPEN)
#define KORDIMALEN_HAVE_CUSTOM_STREAMS 1

// Each function returns what read(2), write(2), lseek(2) and close(2) return;
// a null one makes the stream unreadable, unwritable, unseekable, or close
// without a word.
struct CustomStream {
    void* cookie = nullptr;
    std::ptrdiff_t (*read)(void* cookie, char* buffer, std::size_t size) = nullptr;
    std::ptrdiff_t (*write)(void* cookie, const char* bytes, std::size_t size) = nullptr;
    std::int64_t (*seek)(void* cookie, std::int64_t offset, int whence) = nullptr;
    int (*close)(void* cookie) = nullptr;
};

namespace custom_stream_detail {
inline int close(void* c) {
    auto& s = *static_cast<CustomStream*>(c);
    return s.close != nullptr ? s.close(s.cookie) : 0;
}
}  // namespace custom_stream_detail

#if defined(KORDIMALEN_HAVE_FOPENCOOKIE)
inline std::FILE* open_custom_stream(CustomStream& stream, const char* mode) {
    cookie_io_functions_t io{};
    if (stream.read != nullptr) {
        io.read = [](void* c, char* buffer, std::size_t size) -> ssize_t {
            auto& s = *static_cast<CustomStream*>(c);
            return s.read(s.cookie, buffer, size);
        };
    }
    if (stream.write != nullptr) {
        // fopencookie's write function reports an error as 0 bytes written:
        // glibc takes a negative count for a huge one.
        io.write = [](void* c, const char* bytes, std::size_t size) -> ssize_t {
            auto& s = *static_cast<CustomStream*>(c);
            const std::ptrdiff_t written = s.write(s.cookie, bytes, size);
            return written < 0 ? 0 : written;
        };
    }
    if (stream.seek != nullptr) {
        io.seek = [](void* c, off64_t* offset, int whence) -> int {
            auto& s = *static_cast<CustomStream*>(c);
            const std::int64_t position = s.seek(s.cookie, *offset, whence);
            if (position < 0) return -1;
            *offset = position;
            return 0;
        };
    }
    io.close = custom_stream_detail::close;
    return fopencookie(&stream, mode, io);
}
#else
// funopen's seek function takes and returns the offset type of the system's
// own prototype: fpos_t on macOS, FreeBSD and OpenBSD, off_t on NetBSD, whose
// fpos_t is a structure. Both are taken from the declaration itself.
namespace custom_stream_detail {
template <typename Cookie, typename Read, typename Write, typename Seek, typename Close>
Seek seek_function(std::FILE* (*)(Cookie, Read, Write, Seek, Close));
template <typename Offset>
Offset seek_offset(Offset (*)(void*, Offset, int));
using SeekOffset = decltype(seek_offset(decltype(seek_function(&funopen)){}));
}  // namespace custom_stream_detail

inline std::FILE* open_custom_stream(CustomStream& stream, const char*) {
    using custom_stream_detail::SeekOffset;
    int (*read)(void*, char*, int) = nullptr;
    int (*write)(void*, const char*, int) = nullptr;
    if (stream.read != nullptr) {
        read = [](void* c, char* buffer, int size) -> int {
            auto& s = *static_cast<CustomStream*>(c);
            return static_cast<int>(s.read(s.cookie, buffer, static_cast<std::size_t>(size)));
        };
    }
    if (stream.write != nullptr) {
        write = [](void* c, const char* bytes, int size) -> int {
            auto& s = *static_cast<CustomStream*>(c);
            return static_cast<int>(s.write(s.cookie, bytes, static_cast<std::size_t>(size)));
        };
    }
    SeekOffset (*seek)(void*, SeekOffset, int) = nullptr;
    if (stream.seek != nullptr) {
        seek = [](void* c, SeekOffset offset, int whence) -> SeekOffset {
            auto& s = *static_cast<CustomStream*>(c);
            return static_cast<SeekOffset>(s.seek(s.cookie, static_cast<std::int64_t>(offset), whence));
        };
    }
    return funopen(&stream, read, write, seek, custom_stream_detail::close);
}
#endif
#endif
