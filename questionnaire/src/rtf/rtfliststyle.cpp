#include "rtfliststyle.h"

namespace quill::rtf {

QTextListFormat::Style listStyleForNfc(int nfc, QChar bullet) {
    switch (nfc) {
    case 1:
        return QTextListFormat::ListUpperRoman;
    case 2:
        return QTextListFormat::ListLowerRoman;
    case 3:
        return QTextListFormat::ListUpperAlpha;
    case 4:
        return QTextListFormat::ListLowerAlpha;
    case rtfBulletNfc:
    case 255: // "no number": shown as a bullet rather than lose the item
        return bulletStyleFor(bullet);
    default:
        // Decimal, ordinals, leading zeros and the East Asian counting systems.
        return QTextListFormat::ListDecimal;
    }
}

QTextListFormat::Style bulletStyleFor(QChar bullet) {
    switch (bullet.unicode()) {
    case u'o':
    case 0x25E6: // white bullet
    case 0x25CB: // white circle
        return QTextListFormat::ListCircle;
    case 0xF0A7: // Wingdings square, as word processors write it
    case 0xF06E:
    case 0x25AA:
    case 0x25A0:
    case 0x00A7: // the Wingdings byte read without its font
        return QTextListFormat::ListSquare;
    default:
        return QTextListFormat::ListDisc;
    }
}

int nfcForListStyle(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListUpperRoman:
        return 1;
    case QTextListFormat::ListLowerRoman:
        return 2;
    case QTextListFormat::ListUpperAlpha:
        return 3;
    case QTextListFormat::ListLowerAlpha:
        return 4;
    case QTextListFormat::ListDecimal:
        return 0;
    default:
        return rtfBulletNfc;
    }
}

bool isBulletStyle(QTextListFormat::Style style) {
    return nfcForListStyle(style) == rtfBulletNfc;
}

QChar bulletCharFor(QTextListFormat::Style style) {
    switch (style) {
    case QTextListFormat::ListCircle:
        return QChar(0x25E6);
    case QTextListFormat::ListSquare:
        return QChar(0x25AA);
    default:
        return QChar(0x2022);
    }
}

} // namespace quill::rtf
