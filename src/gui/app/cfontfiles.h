#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

// How the process's font files are read. FreeType maps a whole font file and reads glyphs
// from the mapping; every read faults in the 64 KB around it, and all of it counts as the
// program's memory for as long as the face lives. The CJK faces the program draws with are
// 20 MB files each: a session touched 18 MB of them. Read through pread() instead, FreeType
// keeps only the tables it needs and reads a glyph's outline when it first draws it (Qt keeps
// the drawn glyph).
//
// This file defines FT_New_Face, the call Qt and fontconfig open font files with, in the
// program itself: the dynamic linker binds their calls to this one. ledgerkin_gui links it into
// every program that uses it (CMakeLists.txt: --undefined=FT_New_Face).
class CFontFiles {
public:
    // FT_New_Face's contract: the face at nIndex of the file (nIndex < 0 only counts faces),
    // FreeType's error code otherwise. The file stays open, read-only and closed on exec,
    // until FreeType is done with the face.
    static FT_Error OpenFace(FT_Library library, const char* szPath, FT_Long nIndex,
                             FT_Face* pFace);
};
