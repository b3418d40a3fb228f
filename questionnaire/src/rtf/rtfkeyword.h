// RtfKeyword: the control words the reader acts on, as an enumeration.
//
// Each enumerator has the control word's own name, so the table below is the one
// list of words the reader knows; anything else looks up as Unknown (and an unknown
// word after \* makes its whole group skipped). The lookup is a hash of the name,
// built once and read-only afterwards, so it is safe from any thread.
#pragma once

#include <string_view>

namespace quill::rtf {

// clang-format off
#define QUILL_RTF_KEYWORDS(X)                                                                    \
    /* document */                                                                               \
    X(rtf) X(ansi) X(ansicpg) X(mac) X(pc) X(pca) X(deff) X(uc) X(u)                             \
    /* destinations we read */                                                                   \
    X(fonttbl) X(colortbl) X(listtable) X(listoverridetable) X(field) X(fldinst) X(fldrslt)      \
    X(pn) X(pntxtb) X(pntxta) X(leveltext) X(upr) X(ud) X(pict) X(shppict) X(nonshppict)       \
    /* destinations we skip: keep stylesheet first and protusertbl last */                      \
    X(stylesheet) X(info) X(object) X(objdata) X(header)                                        \
    X(footer) X(headerl) X(headerr) X(headerf) X(footerl) X(footerr) X(footerf) X(footnote)      \
    X(annotation) X(atnid) X(atnauthor) X(bkmkstart) X(bkmkend) X(xe) X(tc) X(txe) X(rxe)        \
    X(template_) X(docvar) X(ftnsep) X(ftnsepc) X(ftncn) X(aftnsep) X(aftnsepc) X(aftncn)       \
    X(pntext) X(listtext) X(generator) X(themedata) X(colorschememapping) X(latentstyles)       \
    X(datastore) X(xmlnstbl) X(rsidtbl) X(mmathPr) X(revtbl) X(filetbl) X(pgdsctbl)            \
    X(userprops) X(wgrffmtfilter) X(fchars) X(lchars) X(defchp) X(defpap) X(listpicture)       \
    X(shp) X(shpinst) X(shprslt) X(falt) X(panose) X(fontemb) X(fontfile) X(listname)          \
    X(levelnumbers) X(lfolevel) X(pnseclvl) X(comment) X(title) X(author) X(operator_)         \
    X(keywords) X(doccomm) X(company) X(nesttableprops) X(nonesttables) X(background)          \
    X(do_) X(sp) X(sn) X(sv) X(blipuid) X(fldtype) X(passwordhash) X(protusertbl)              \
    /* pictures: the kinds read, the kinds skipped, sizes */                                   \
    X(pngblip) X(jpegblip) X(emfblip) X(wmetafile) X(pmmetafile) X(dibitmap) X(wbitmap)          \
    X(macpict) X(picw) X(pich) X(picwgoal) X(pichgoal) X(picscalex) X(picscaley)                 \
    /* font and colour tables */                                                                 \
    X(f) X(fcharset) X(cpg) X(red) X(green) X(blue)                                              \
    /* list tables */                                                                            \
    X(list) X(listid) X(listlevel) X(levelnfc) X(levelnfcn) X(listoverride) X(ls) X(ilvl)        \
    /* old-style numbering */                                                                    \
    X(pnlvlblt) X(pnlvlbody) X(pnlvlcont) X(pnlvl) X(pndec) X(pnucltr) X(pnlcltr) X(pnucrm)    \
    X(pnlcrm) X(pnord) X(pncard) X(pnordt)                                                       \
    /* character formatting */                                                                   \
    X(plain) X(b) X(i) X(strike) X(striked) X(ul) X(ulnone) X(uld) X(uldash) X(uldashd)        \
    X(uldashdd) X(uldb) X(ulw) X(ulwave) X(ulhwave) X(ululdbwave) X(ulth) X(ulthd)              \
    X(ulthdash) X(ulthdashd) X(ulthdashdd) X(ulldash) X(ulthldash) X(fs) X(cf) X(cb)            \
    X(highlight) X(chcbpat) X(super) X(sub) X(nosupersub) X(up) X(dn) X(caps) X(scaps) X(v)     \
    /* paragraph formatting */                                                                   \
    X(pard) X(ql) X(qc) X(qr) X(qj) X(qd) X(li) X(ri) X(lin) X(rin) X(fi) X(sb) X(sa) X(sl)     \
    X(slmult) X(intbl) X(pagebb) X(outlinelevel) X(rtlpar) X(ltrpar) X(tx) X(tqr) X(tqc)        \
    X(tqdec)                                                                                     \
    /* tables */                                                                                 \
    X(trowd) X(trgaph) X(trleft) X(trqc) X(trqr) X(trql) X(cellx) X(clcbpat) X(clvmgf)          \
    X(clvmrg) X(clbrdrt) X(clbrdrb) X(clbrdrl) X(clbrdrr) X(trbrdrt) X(trbrdrb) X(trbrdrl)      \
    X(trbrdrr) X(trbrdrh) X(trbrdrv) X(brdrt) X(brdrb) X(brdrl) X(brdrr) X(box) X(brdrbtw)      \
    X(brdrbar) X(brdrs) X(brdrth) X(brdrdb) X(brdrdot) X(brdrdash) X(brdrsh) X(brdrw)           \
    X(brdrnone) X(brdrnil) X(cell) X(row) X(nestcell) X(nestrow)                                 \
    /* special characters and breaks */                                                          \
    X(par) X(sect) X(page) X(column) X(line) X(softline) X(tab) X(emdash) X(endash)            \
    X(emspace) X(enspace) X(qmspace) X(bullet) X(lquote) X(rquote) X(ldblquote) X(rdblquote)   \
    X(zwj) X(zwnj) X(ltrmark) X(rtlmark)
// clang-format on

enum class RtfKeyword {
    Unknown,
#define QUILL_RTF_ENUM(name) name,
    QUILL_RTF_KEYWORDS(QUILL_RTF_ENUM)
#undef QUILL_RTF_ENUM
};

RtfKeyword lookupKeyword(std::string_view name);

// Destinations whose whole group the reader skips: objects, headers,
// footers, notes, document information, themes, bookmarks and the like.
constexpr bool isSkippedDestination(RtfKeyword kw) {
    return kw >= RtfKeyword::stylesheet && kw <= RtfKeyword::protusertbl;
}

} // namespace quill::rtf
