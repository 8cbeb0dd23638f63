#pragma once

#include <QFont>

// The font of the grids and the tree. Their texts are dates, amounts, names and notes in Han and
// Latin, which need no OpenType shaping: laid out from the font's character map they cost a
// fraction and come out with the same pixels. Scripts that need shaping are still shaped.
// Only the strategy is set: family and size are inherited as usual.
class CPlainFont {
public:
    static QFont Font() {
        QFont font;
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }
};
