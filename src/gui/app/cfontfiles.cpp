#include "cfontfiles.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int Descriptor(FT_Stream stream) {
    return static_cast<int>(stream->descriptor.value);
}

// FreeType's read: count bytes at offset; a count of 0 is a seek, which fails (non-zero)
// past the end.
unsigned long ReadAt(FT_Stream stream, unsigned long nOffset, unsigned char* pBuffer,
                     unsigned long nCount) {
    if (nCount == 0)
        return nOffset <= stream->size ? 0 : 1;
    unsigned long nDone = 0;
    while (nDone < nCount) {
        const ssize_t nRead =
            pread(Descriptor(stream), pBuffer + nDone, nCount - nDone, off_t(nOffset + nDone));
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0)
            break; // FreeType sees the short count as an error
        nDone += static_cast<unsigned long>(nRead);
    }
    return nDone;
}

// Called once, when FreeType is done with the stream: when the face is freed, or when
// opening it failed.
void CloseStream(FT_Stream stream) {
    ::close(Descriptor(stream));
    delete stream;
}
} // namespace

FT_Error CFontFiles::OpenFace(FT_Library library, const char* szPath, FT_Long nIndex,
                              FT_Face* pFace) {
    if (!szPath || !pFace)
        return FT_Err_Invalid_Argument;
    int fd = -1;
    do
        fd = ::open(szPath, O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return FT_Err_Cannot_Open_Resource;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FT_Err_Cannot_Open_Resource;
    }
    auto* pStream = new FT_StreamRec{};
    pStream->descriptor.value = fd;
    pStream->size = static_cast<unsigned long>(st.st_size);
    pStream->read = ReadAt;
    pStream->close = CloseStream;
    FT_Open_Args args{};
    args.flags = FT_OPEN_STREAM;
    args.stream = pStream;
    return FT_Open_Face(library, &args, nIndex, pFace);
}

extern "C" FT_Error FT_New_Face(FT_Library library, const char* filepathname, FT_Long face_index,
                                FT_Face* aface) {
    return CFontFiles::OpenFace(library, filepathname, face_index, aface);
}
