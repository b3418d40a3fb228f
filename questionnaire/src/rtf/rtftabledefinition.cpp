#include "rtftabledefinition.h"

#include "rtfformatconverter.h"
#include "rtfkeyword.h"
#include "rtfunits.h"

#include <algorithm>

namespace quill::rtf {

using Kw = RtfKeyword;

void RtfTableDefinition::setBorder(int32_t width) {
    if (borderTarget_ == BorderTarget::Cell)
        cellDef_.borderWidth = width;
    else if (borderTarget_ == BorderTarget::Row)
        rowDef_.borderWidth = width;
}

int32_t RtfTableDefinition::currentBorder() const {
    return borderTarget_ == BorderTarget::Cell  ? cellDef_.borderWidth
           : borderTarget_ == BorderTarget::Row ? rowDef_.borderWidth
                                                : 0;
}

void RtfTableDefinition::word(Kw kw, const RtfToken& token, const RtfFormatConverter& formats) {
    switch (kw) {
    case Kw::trowd:
        rowDef_ = RtfRowDef{};
        cellDef_ = RtfCellDef{};
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::trgaph:
        rowDef_.gap = std::clamp(token.param, 0, maxTwips);
        break;
    case Kw::trleft:
        rowDef_.left = clampTwips(token.param);
        break;
    case Kw::trql:
        rowDef_.alignment = Qt::AlignLeft;
        break;
    case Kw::trqc:
        rowDef_.alignment = Qt::AlignHCenter;
        break;
    case Kw::trqr:
        rowDef_.alignment = Qt::AlignRight;
        break;
    case Kw::cellx:
        cellDef_.right = clampTwips(token.param);
        // More edges than any row can use say nothing more; don't keep them.
        if (rowDef_.cells.size() < 4 * RtfDocumentBuilder::maxColumns)
            rowDef_.cells.push_back(cellDef_);
        cellDef_ = RtfCellDef{};
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::clcbpat:
        cellDef_.background = formats.color(token.param);
        break;
    case Kw::clvmgf:
        cellDef_.mergeFirst = true;
        break;
    case Kw::clvmrg:
        cellDef_.mergeNext = true;
        break;
    case Kw::clbrdrt:
    case Kw::clbrdrb:
    case Kw::clbrdrl:
    case Kw::clbrdrr:
        borderTarget_ = BorderTarget::Cell;
        break;
    case Kw::trbrdrt:
    case Kw::trbrdrb:
    case Kw::trbrdrl:
    case Kw::trbrdrr:
    case Kw::trbrdrh:
    case Kw::trbrdrv:
        borderTarget_ = BorderTarget::Row;
        break;
    case Kw::brdrt:
    case Kw::brdrb:
    case Kw::brdrl:
    case Kw::brdrr:
    case Kw::box:
    case Kw::brdrbtw:
    case Kw::brdrbar:
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::brdrs:
    case Kw::brdrth:
    case Kw::brdrdb:
    case Kw::brdrdot:
    case Kw::brdrdash:
    case Kw::brdrsh:
        if (currentBorder() == 0)
            setBorder(10); // a hairline until \brdrw says otherwise
        break;
    case Kw::brdrw:
        if (currentBorder() > 0)
            setBorder(std::clamp(token.param, 1, 255));
        break;
    default:
        break;
    }
}

} // namespace quill::rtf
