// RtfTableDefinition: the definition of the next table row, as the row's keywords
// build it: \trowd starts afresh, \trleft, \trgaph and \trq* place the row, each
// \cellx closes a cell's definition (its shading, vertical merge and borders come
// before it), and the border words apply to the cell or the row they follow.
//
// Promises: every length is clamped to maxTwips and a border width to 1..255 twips;
// at most 4 * RtfDocumentBuilder::maxColumns cells are kept, so a row that defines
// more costs no more memory.
#pragma once

#include "rtfdocumentbuilder.h"
#include "rtflexer.h"

#include <cstdint>

namespace quill::rtf {

enum class RtfKeyword;
class RtfFormatConverter;

class RtfTableDefinition {
public:
    // Applies a table word (others are ignored); colours are looked up in `formats`.
    void word(RtfKeyword kw, const RtfToken& token, const RtfFormatConverter& formats);

    const RtfRowDef& row() const { return rowDef_; }

private:
    enum class BorderTarget : uint8_t { None, Cell, Row };

    void setBorder(int32_t width);
    int32_t currentBorder() const;

    RtfRowDef rowDef_;
    RtfCellDef cellDef_;
    BorderTarget borderTarget_ = BorderTarget::None;
};

} // namespace quill::rtf
