#include "text/RtfReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "text/CodePageDecoder.h"
#include "text/Windows1252.h"

// A small, forgiving reader of the Rich Text Format (RTF 1.9.1 grammar):
// groups, control words with an optional signed numeric parameter and their
// delimiting space, control symbols, \'hh bytes in the code page of the current
// font (its \fcharset or \cpg in the font table) or else of the document
// (\ansicpgN, \mac, \pc, \pca), and \uN Unicode characters with their \ucN
// fallback characters. Destinations that hold no body text (colour tables,
// style sheets, document info, pictures, objects, headers and footers, list
// tables, the \* ones ...) are skipped whole; of the font table only each
// font's code page is read. It throws nothing but std::bad_alloc and always
// ends: every step consumes at least one byte, and damaged input (unbalanced
// braces, truncated escapes) yields whatever text was read.
//
// Output rarely has more UTF-16 units than the input has bytes (every unit
// written consumes at least one byte: "\par" gives two units for four bytes,
// "\u128512 " two for nine, and the single- and double-byte code pages give at
// most one character per byte), so the text is written into a buffer of the
// input's size, grown if ever needed, and cut to length at the end.

namespace Files {

namespace {

enum class Action {
    Skip,              // a destination whose whole group holds no document text
    Char,              // a named character (\tab, \emdash, \lquote ...)
    Paragraph,         // \par
    Line,              // \line
    ParagraphDefaults, // \pard
    InTable,           // \intbl
    Cell,              // \cell, \nestcell
    Row,               // \row, \nestrow
    Bin,               // \binN: N bytes of binary data follow
    Unicode,           // \uN
    UnicodeSkip,       // \ucN
    UnicodePair,       // \upr: an 8-bit copy and a Unicode (\ud) copy
    UnicodeCopy,       // \ud
    CodePage,          // \ansicpgN
    DefaultFont,       // \deffN
    Font,              // \fN: a font of the font table, or the current font
    FontCharset,       // \fcharsetN of a font of the font table
    FontCodePage,      // \cpgN of a font of the font table
    FontTable,         // \fonttbl
    Ansi,
    Mac,
    Pc,
    Pca,
};

struct Keyword
{
    std::string_view word;
    Action action;
    char16_t ch;
};

// Sorted by word (byte order) for a binary search; checked at compile time.
constexpr Keyword kKeywords[] = {
    {"aftncn", Action::Skip, 0},
    {"aftnsep", Action::Skip, 0},
    {"aftnsepc", Action::Skip, 0},
    {"annotation", Action::Skip, 0},
    {"ansi", Action::Ansi, 0},
    {"ansicpg", Action::CodePage, 0},
    {"atnauthor", Action::Skip, 0},
    {"atndate", Action::Skip, 0},
    {"atnicn", Action::Skip, 0},
    {"atnid", Action::Skip, 0},
    {"atnparent", Action::Skip, 0},
    {"atnref", Action::Skip, 0},
    {"atntime", Action::Skip, 0},
    {"atrfend", Action::Skip, 0},
    {"atrfstart", Action::Skip, 0},
    {"author", Action::Skip, 0},
    {"background", Action::Skip, 0},
    {"bin", Action::Bin, 0},
    {"bkmkend", Action::Skip, 0},
    {"bkmkstart", Action::Skip, 0},
    {"blipuid", Action::Skip, 0},
    {"bullet", Action::Char, u'\u2022'},
    {"buptim", Action::Skip, 0},
    {"category", Action::Skip, 0},
    {"cell", Action::Cell, 0},
    {"colorschememapping", Action::Skip, 0},
    {"colortbl", Action::Skip, 0},
    {"comment", Action::Skip, 0},
    {"company", Action::Skip, 0},
    {"cpg", Action::FontCodePage, 0},
    {"creatim", Action::Skip, 0},
    {"datafield", Action::Skip, 0},
    {"datastore", Action::Skip, 0},
    {"defchp", Action::Skip, 0},
    {"deff", Action::DefaultFont, 0},
    {"defpap", Action::Skip, 0},
    {"do", Action::Skip, 0},
    {"doccomm", Action::Skip, 0},
    {"docvar", Action::Skip, 0},
    {"dptxbxtext", Action::Skip, 0},
    {"ebcend", Action::Skip, 0},
    {"ebcstart", Action::Skip, 0},
    {"emdash", Action::Char, u'\u2014'},
    {"emspace", Action::Char, u'\u2003'},
    {"endash", Action::Char, u'\u2013'},
    {"enspace", Action::Char, u'\u2002'},
    {"f", Action::Font, 0},
    {"factoidname", Action::Skip, 0},
    {"falt", Action::Skip, 0},
    {"fchars", Action::Skip, 0},
    {"fcharset", Action::FontCharset, 0},
    {"ffdeftext", Action::Skip, 0},
    {"ffentrymcr", Action::Skip, 0},
    {"ffexitmcr", Action::Skip, 0},
    {"ffformat", Action::Skip, 0},
    {"ffhelptext", Action::Skip, 0},
    {"ffl", Action::Skip, 0},
    {"ffname", Action::Skip, 0},
    {"ffstattext", Action::Skip, 0},
    {"filetbl", Action::Skip, 0},
    {"fldinst", Action::Skip, 0},
    {"fname", Action::Skip, 0},
    {"fontemb", Action::Skip, 0},
    {"fontfile", Action::Skip, 0},
    {"fonttbl", Action::FontTable, 0},
    {"footer", Action::Skip, 0},
    {"footerf", Action::Skip, 0},
    {"footerl", Action::Skip, 0},
    {"footerr", Action::Skip, 0},
    {"footnote", Action::Skip, 0},
    {"formfield", Action::Skip, 0},
    {"ftncn", Action::Skip, 0},
    {"ftnsep", Action::Skip, 0},
    {"ftnsepc", Action::Skip, 0},
    {"g", Action::Skip, 0},
    {"generator", Action::Skip, 0},
    {"gridtbl", Action::Skip, 0},
    {"header", Action::Skip, 0},
    {"headerf", Action::Skip, 0},
    {"headerl", Action::Skip, 0},
    {"headerr", Action::Skip, 0},
    {"hl", Action::Skip, 0},
    {"hlfr", Action::Skip, 0},
    {"hlinkbase", Action::Skip, 0},
    {"hlloc", Action::Skip, 0},
    {"hlsrc", Action::Skip, 0},
    {"hsv", Action::Skip, 0},
    {"info", Action::Skip, 0},
    {"intbl", Action::InTable, 0},
    {"keywords", Action::Skip, 0},
    {"latentstyles", Action::Skip, 0},
    {"lchars", Action::Skip, 0},
    {"ldblquote", Action::Char, u'\u201C'},
    {"levelnumbers", Action::Skip, 0},
    {"leveltext", Action::Skip, 0},
    {"lfolevel", Action::Skip, 0},
    {"line", Action::Line, 0},
    {"linkval", Action::Skip, 0},
    {"list", Action::Skip, 0},
    {"listlevel", Action::Skip, 0},
    {"listname", Action::Skip, 0},
    {"listoverride", Action::Skip, 0},
    {"listoverridetable", Action::Skip, 0},
    {"listpicture", Action::Skip, 0},
    {"liststylename", Action::Skip, 0},
    {"listtable", Action::Skip, 0},
    {"listtext", Action::Skip, 0},
    {"lquote", Action::Char, u'\u2018'},
    {"lsdlockedexcept", Action::Skip, 0},
    {"ltrmark", Action::Char, u'\u200E'},
    {"mac", Action::Mac, 0},
    {"macc", Action::Skip, 0},
    {"maccPr", Action::Skip, 0},
    {"mailmerge", Action::Skip, 0},
    {"manager", Action::Skip, 0},
    {"mbar", Action::Skip, 0},
    {"mbarPr", Action::Skip, 0},
    {"mbaseJc", Action::Skip, 0},
    {"mbegChr", Action::Skip, 0},
    {"mborderBox", Action::Skip, 0},
    {"mborderBoxPr", Action::Skip, 0},
    {"mbox", Action::Skip, 0},
    {"mboxPr", Action::Skip, 0},
    {"mchr", Action::Skip, 0},
    {"mcount", Action::Skip, 0},
    {"mctrlPr", Action::Skip, 0},
    {"md", Action::Skip, 0},
    {"mdPr", Action::Skip, 0},
    {"mdeg", Action::Skip, 0},
    {"mdegHide", Action::Skip, 0},
    {"mden", Action::Skip, 0},
    {"mdiff", Action::Skip, 0},
    {"me", Action::Skip, 0},
    {"mendChr", Action::Skip, 0},
    {"meqArr", Action::Skip, 0},
    {"meqArrPr", Action::Skip, 0},
    {"mf", Action::Skip, 0},
    {"mfName", Action::Skip, 0},
    {"mfPr", Action::Skip, 0},
    {"mfunc", Action::Skip, 0},
    {"mfuncPr", Action::Skip, 0},
    {"mgroupChr", Action::Skip, 0},
    {"mgroupChrPr", Action::Skip, 0},
    {"mgrow", Action::Skip, 0},
    {"mhideBot", Action::Skip, 0},
    {"mhideLeft", Action::Skip, 0},
    {"mhideRight", Action::Skip, 0},
    {"mhideTop", Action::Skip, 0},
    {"mhtmltag", Action::Skip, 0},
    {"mlim", Action::Skip, 0},
    {"mlimloc", Action::Skip, 0},
    {"mlimlow", Action::Skip, 0},
    {"mlimlowPr", Action::Skip, 0},
    {"mlimupp", Action::Skip, 0},
    {"mlimuppPr", Action::Skip, 0},
    {"mm", Action::Skip, 0},
    {"mmPr", Action::Skip, 0},
    {"mmaddfieldname", Action::Skip, 0},
    {"mmath", Action::Skip, 0},
    {"mmathPict", Action::Skip, 0},
    {"mmathPr", Action::Skip, 0},
    {"mmaxdist", Action::Skip, 0},
    {"mmc", Action::Skip, 0},
    {"mmcJc", Action::Skip, 0},
    {"mmcPr", Action::Skip, 0},
    {"mmconnectstr", Action::Skip, 0},
    {"mmconnectstrdata", Action::Skip, 0},
    {"mmcs", Action::Skip, 0},
    {"mmdatasource", Action::Skip, 0},
    {"mmheadersource", Action::Skip, 0},
    {"mmmailsubject", Action::Skip, 0},
    {"mmodso", Action::Skip, 0},
    {"mmodsofilter", Action::Skip, 0},
    {"mmodsofldmpdata", Action::Skip, 0},
    {"mmodsomappedname", Action::Skip, 0},
    {"mmodsoname", Action::Skip, 0},
    {"mmodsorecipdata", Action::Skip, 0},
    {"mmodsosort", Action::Skip, 0},
    {"mmodsosrc", Action::Skip, 0},
    {"mmodsotable", Action::Skip, 0},
    {"mmodsoudl", Action::Skip, 0},
    {"mmodsoudldata", Action::Skip, 0},
    {"mmodsouniquetag", Action::Skip, 0},
    {"mmquery", Action::Skip, 0},
    {"mmr", Action::Skip, 0},
    {"mnary", Action::Skip, 0},
    {"mnaryPr", Action::Skip, 0},
    {"mnoBreak", Action::Skip, 0},
    {"mnum", Action::Skip, 0},
    {"moMath", Action::Skip, 0},
    {"moMathPara", Action::Skip, 0},
    {"moMathParaPr", Action::Skip, 0},
    {"mobjDist", Action::Skip, 0},
    {"mopEmu", Action::Skip, 0},
    {"mphant", Action::Skip, 0},
    {"mphantPr", Action::Skip, 0},
    {"mplcHide", Action::Skip, 0},
    {"mpos", Action::Skip, 0},
    {"mr", Action::Skip, 0},
    {"mrPr", Action::Skip, 0},
    {"mrad", Action::Skip, 0},
    {"mradPr", Action::Skip, 0},
    {"msPre", Action::Skip, 0},
    {"msPrePr", Action::Skip, 0},
    {"msSub", Action::Skip, 0},
    {"msSubPr", Action::Skip, 0},
    {"msSubSup", Action::Skip, 0},
    {"msSubSupPr", Action::Skip, 0},
    {"msSup", Action::Skip, 0},
    {"msSupPr", Action::Skip, 0},
    {"msepChr", Action::Skip, 0},
    {"mshow", Action::Skip, 0},
    {"mshp", Action::Skip, 0},
    {"mstrikeBLTR", Action::Skip, 0},
    {"mstrikeH", Action::Skip, 0},
    {"mstrikeTLBR", Action::Skip, 0},
    {"mstrikeV", Action::Skip, 0},
    {"msub", Action::Skip, 0},
    {"msubHide", Action::Skip, 0},
    {"msup", Action::Skip, 0},
    {"msupHide", Action::Skip, 0},
    {"mtransp", Action::Skip, 0},
    {"mtype", Action::Skip, 0},
    {"mvertJc", Action::Skip, 0},
    {"mvfmf", Action::Skip, 0},
    {"mvfml", Action::Skip, 0},
    {"mvtof", Action::Skip, 0},
    {"mvtol", Action::Skip, 0},
    {"mzeroAsc", Action::Skip, 0},
    {"mzeroDesc", Action::Skip, 0},
    {"mzeroWid", Action::Skip, 0},
    {"nestcell", Action::Cell, 0},
    {"nestrow", Action::Row, 0},
    {"nesttableprops", Action::Skip, 0},
    {"nextfile", Action::Skip, 0},
    {"nonesttables", Action::Skip, 0},
    {"nonshppict", Action::Skip, 0},
    {"objalias", Action::Skip, 0},
    {"objclass", Action::Skip, 0},
    {"objdata", Action::Skip, 0},
    {"object", Action::Skip, 0},
    {"objname", Action::Skip, 0},
    {"objsect", Action::Skip, 0},
    {"objtime", Action::Skip, 0},
    {"oldcprops", Action::Skip, 0},
    {"oldpprops", Action::Skip, 0},
    {"oldsprops", Action::Skip, 0},
    {"oldtprops", Action::Skip, 0},
    {"oleclsid", Action::Skip, 0},
    {"operator", Action::Skip, 0},
    {"panose", Action::Skip, 0},
    {"par", Action::Paragraph, 0},
    {"pard", Action::ParagraphDefaults, 0},
    {"password", Action::Skip, 0},
    {"passwordhash", Action::Skip, 0},
    {"pc", Action::Pc, 0},
    {"pca", Action::Pca, 0},
    {"pgdsc", Action::Skip, 0},
    {"pgdsctbl", Action::Skip, 0},
    {"pgp", Action::Skip, 0},
    {"pgptbl", Action::Skip, 0},
    {"picprop", Action::Skip, 0},
    {"pict", Action::Skip, 0},
    {"pn", Action::Skip, 0},
    {"pnseclvl", Action::Skip, 0},
    {"pntext", Action::Skip, 0},
    {"pntxta", Action::Skip, 0},
    {"pntxtb", Action::Skip, 0},
    {"printim", Action::Skip, 0},
    {"private", Action::Skip, 0},
    {"propname", Action::Skip, 0},
    {"protend", Action::Skip, 0},
    {"protstart", Action::Skip, 0},
    {"protusertbl", Action::Skip, 0},
    {"pxe", Action::Skip, 0},
    {"qmspace", Action::Char, u'\u2005'},
    {"rdblquote", Action::Char, u'\u201D'},
    {"result", Action::Skip, 0},
    {"revtbl", Action::Skip, 0},
    {"revtim", Action::Skip, 0},
    {"row", Action::Row, 0},
    {"rquote", Action::Char, u'\u2019'},
    {"rsidtbl", Action::Skip, 0},
    {"rtlmark", Action::Char, u'\u200F'},
    {"rxe", Action::Skip, 0},
    {"shpinst", Action::Skip, 0},
    {"shppict", Action::Skip, 0},
    {"sn", Action::Skip, 0},
    {"sp", Action::Skip, 0},
    {"stylesheet", Action::Skip, 0},
    {"subject", Action::Skip, 0},
    {"sv", Action::Skip, 0},
    {"svb", Action::Skip, 0},
    {"tab", Action::Char, u'\t'},
    {"tc", Action::Skip, 0},
    {"template", Action::Skip, 0},
    {"themedata", Action::Skip, 0},
    {"title", Action::Skip, 0},
    {"txe", Action::Skip, 0},
    {"u", Action::Unicode, 0},
    {"uc", Action::UnicodeSkip, 0},
    {"ud", Action::UnicodeCopy, 0},
    {"upr", Action::UnicodePair, 0},
    {"userprops", Action::Skip, 0},
    {"wgrffmtfilter", Action::Skip, 0},
    {"windowcaption", Action::Skip, 0},
    {"writereservation", Action::Skip, 0},
    {"writereservhash", Action::Skip, 0},
    {"xe", Action::Skip, 0},
    {"xform", Action::Skip, 0},
    {"xmlattrname", Action::Skip, 0},
    {"xmlattrvalue", Action::Skip, 0},
    {"xmlclose", Action::Skip, 0},
    {"xmlname", Action::Skip, 0},
    {"xmlnstbl", Action::Skip, 0},
    {"xmlopen", Action::Skip, 0},
    {"zwj", Action::Char, u'\u200D'},
    {"zwnj", Action::Char, u'\u200C'},
};

constexpr bool keywordsAreSorted()
{
    for (size_t i = 1; i < std::size(kKeywords); ++i) {
        if (!(kKeywords[i - 1].word < kKeywords[i].word))
            return false;
    }
    return true;
}
static_assert(keywordsAreSorted(), "kKeywords must be sorted and without duplicates");

const Keyword *findKeyword(std::string_view word)
{
    const auto *end = std::end(kKeywords);
    const auto *it =
        std::lower_bound(std::begin(kKeywords), end, word,
                         [](const Keyword &k, std::string_view w) { return k.word < w; });
    return (it != end && it->word == word) ? it : nullptr;
}

struct GroupState
{
    bool skip = false;        // inside a destination whose text is not shown
    bool uprGroup = false;    // inside \upr: only its \ud part is read
    bool inTable = false;     // \intbl: the paragraph is part of a table cell
    bool inFontTable = false; // inside \fonttbl: \f names the font described
    int unicodeSkip = 1;      // \ucN: fallback characters after each \uN
    long long font = -1;      // \fN of the text; -1: the default font (\deffN)
};

constexpr int kWindows1252 = 1252;

// The code page of a font's \fcharsetN; 0 for "the document's". ANSI (0) is
// the document's too: writers put it on every font of, say, a Polish document
// with \ansicpg1250 (AbiWord does).
int charsetCodePage(long long charset)
{
    switch (charset) {
    case 77:
        return 10000; // Mac Roman
    case 128:
        return 932; // Shift JIS
    case 129:
        return 949; // Hangul
    case 134:
        return 936; // GB2312
    case 136:
        return 950; // Big5
    case 161:
        return 1253; // Greek
    case 162:
        return 1254; // Turkish
    case 163:
        return 1258; // Vietnamese
    case 177:
        return 1255; // Hebrew
    case 178:
        return 1256; // Arabic
    case 186:
        return 1257; // Baltic
    case 204:
        return 1251; // Cyrillic
    case 222:
        return 874; // Thai
    case 238:
        return 1250; // Central European
    case 254:
        return 437; // PC 437
    case 255:
        return 850; // OEM
    default:
        return 0; // 0 (ANSI), 1 (default), 2 (symbol), unknown ones
    }
}

bool isLetter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class RtfReader
{
public:
    explicit RtfReader(QByteArrayView rtf)
        : m_data(reinterpret_cast<const unsigned char *>(rtf.data())), m_size(rtf.size()),
          m_text(rtf.size(), Qt::Uninitialized), m_out(reinterpret_cast<char16_t *>(m_text.data()))
    {
    }

    QString read()
    {
        while (m_pos < m_size && !m_done) {
            const unsigned char c = m_data[m_pos++];
            switch (c) {
            case '{':
                flushBytes();
                openGroup();
                break;
            case '}':
                flushBytes();
                closeGroup();
                break;
            case '\\':
                readControl();
                break;
            case '\r':
            case '\n':
                break; // line breaks of the file itself carry no meaning
            case '\t':
                character(u'\t');
                break;
            default:
                // A byte beyond ASCII, or one that may end a double-byte
                // character, is read in the code page.
                if (c >= 0x80 || (c >= 0x20 && !m_bytes.isEmpty()))
                    textByte(c);
                else if (c >= 0x20)
                    character(char16_t(c));
                break; // other control bytes (NUL ...) are not text
            }
        }
        flushBytes();
        m_text.truncate(m_length);
        return std::move(m_text);
    }

private:
    // ---- groups -----------------------------------------------------------

    void openGroup()
    {
        m_fallbackToSkip = 0; // a group ends the fallback of a \uN
        GroupState inner = m_state;
        inner.uprGroup = false;
        if (m_state.uprGroup)
            inner.skip = true; // the 8-bit copy of \upr; its \ud copy is read
        m_stack.push_back(m_state);
        m_state = inner;
        m_seenGroup = true;
    }

    void closeGroup()
    {
        m_fallbackToSkip = 0;
        if (m_stack.empty())
            return; // an unbalanced closing brace: ignore it
        m_state = m_stack.back();
        m_stack.pop_back();
        if (m_stack.empty() && m_seenGroup)
            m_done = true; // the document's outermost group has ended
    }

    // ---- control words and symbols ------------------------------------------

    void readControl()
    {
        if (m_pos >= m_size)
            return; // a lone backslash at the end of truncated input
        const unsigned char c = m_data[m_pos];
        if (isLetter(c)) {
            readControlWord();
            return;
        }
        ++m_pos;
        if (c != '\'')
            flushBytes();
        switch (c) {
        case '\'':
            readHexByte();
            return;
        case '*':
            m_state.skip = true; // an optional destination: skipped unless known
            return;
        case '\\':
        case '{':
        case '}':
            character(char16_t(c));
            return;
        case '~':
            character(u'\u00A0'); // non-breaking space
            return;
        case '_':
            character(u'\u2011'); // non-breaking hyphen
            return;
        case '\r':
        case '\n':
            lineBreak(); // "\<newline>" is a \par
            return;
        case '\t':
            character(u'\t');
            return;
        default:
            // \- (optional hyphen), \: (index subentry), \| (formula) and any
            // unknown symbol show nothing, but still count as a fallback.
            consumeFallback();
            return;
        }
    }

    void readControlWord()
    {
        flushBytes();
        const qsizetype wordStart = m_pos;
        while (m_pos < m_size && isLetter(m_data[m_pos]))
            ++m_pos;
        const std::string_view word(reinterpret_cast<const char *>(m_data) + wordStart,
                                    size_t(m_pos - wordStart));

        bool negative = false;
        long long parameter = 0;
        if (m_pos + 1 < m_size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        int digits = 0;
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            if (digits < 12) // longer numbers are nonsense; keep reading, stop growing
                parameter = parameter * 10 + (m_data[m_pos] - '0');
            ++digits;
            ++m_pos;
        }
        if (negative)
            parameter = -parameter;
        if (m_pos < m_size && m_data[m_pos] == ' ')
            ++m_pos; // the delimiting space belongs to the control word

        controlWord(word, digits > 0, parameter);
    }

    void controlWord(std::string_view word, bool hasParameter, long long parameter)
    {
        const Keyword *keyword = findKeyword(word);
        if (keyword == nullptr) {
            consumeFallback(); // formatting: no text, but counts as a fallback
            return;
        }
        switch (keyword->action) {
        case Action::Skip:
            m_state.skip = true;
            return;
        case Action::Char:
            character(keyword->ch);
            return;
        case Action::Paragraph:
            if (lineBreak() && m_state.inTable)
                m_cellParagraphEnd = m_length;
            return;
        case Action::Line:
            lineBreak();
            return;
        case Action::ParagraphDefaults:
            m_state.inTable = false; // paragraph properties back to defaults
            consumeFallback();
            return;
        case Action::InTable:
            m_state.inTable = true;
            consumeFallback();
            return;
        case Action::Cell:
            cell();
            return;
        case Action::Row:
            row();
            return;
        case Action::Bin: {
            // Binary data is skipped whatever state we are in.
            const long long length = hasParameter ? std::max<long long>(parameter, 0) : 0;
            m_pos += qsizetype(std::min<long long>(length, m_size - m_pos));
            consumeFallback();
            return;
        }
        case Action::Unicode:
            unicodeCharacter(parameter);
            return;
        case Action::UnicodeSkip:
            m_state.unicodeSkip = int(std::clamp<long long>(hasParameter ? parameter : 1, 0, 1000));
            return;
        case Action::UnicodePair:
            m_state.uprGroup = true; // its first subgroup is skipped, its \ud read
            return;
        case Action::UnicodeCopy:
            if (!m_stack.empty() && m_stack.back().uprGroup)
                m_state.skip = m_stack.back().skip; // read the Unicode copy of \upr
            else
                m_state.skip = true;
            return;
        case Action::CodePage:
            if (hasParameter)
                m_codePage = int(std::clamp<long long>(parameter, 0, 65535));
            return;
        case Action::DefaultFont:
            if (hasParameter)
                m_defaultFont = parameter;
            consumeFallback();
            return;
        case Action::Font:
            if (m_state.inFontTable) {
                m_tableFont = parameter;
            } else {
                m_state.font = parameter;
                consumeFallback();
            }
            return;
        case Action::FontCharset:
            if (m_state.inFontTable && hasParameter && !m_fontHasCpg[m_tableFont])
                m_fontCodePages[m_tableFont] = charsetCodePage(parameter);
            consumeFallback();
            return;
        case Action::FontCodePage:
            if (m_state.inFontTable && hasParameter) {
                m_fontCodePages[m_tableFont] = int(std::clamp<long long>(parameter, 0, 65535));
                m_fontHasCpg[m_tableFont] = true;
            }
            consumeFallback();
            return;
        case Action::FontTable:
            m_state.skip = true;
            m_state.inFontTable = true;
            return;
        case Action::Ansi:
            m_codePage = 1252;
            return;
        case Action::Mac:
            m_codePage = 10000;
            return;
        case Action::Pc:
            m_codePage = 437;
            return;
        case Action::Pca:
            m_codePage = 850;
            return;
        }
    }

    void cell()
    {
        if (m_state.skip) {
            consumeFallback();
            return;
        }
        // A writer may end a cell's last paragraph with \par as well (pandoc
        // does): the cell ends that paragraph, so its break is dropped.
        if (m_cellParagraphEnd == m_length && m_length >= 2)
            m_length -= 2;
        m_cellParagraphEnd = -1;
        m_fallbackToSkip = 0;
        character(u'\t');
        m_cellTabEnd = m_length;
    }

    void row()
    {
        if (m_state.skip) {
            consumeFallback();
            return;
        }
        if (m_cellTabEnd == m_length && m_length > 0)
            --m_length; // the tab after the row's last cell becomes the break
        m_cellParagraphEnd = -1;
        m_cellTabEnd = -1;
        m_fallbackToSkip = 0;
        lineBreak();
    }

    // ---- characters --------------------------------------------------------

    void readHexByte()
    {
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_pos < m_size) {
            const int h = hexValue(m_data[m_pos]);
            if (h < 0)
                break;
            value = value * 16 + h;
            ++digits;
            ++m_pos;
        }
        if (digits < 2) {
            consumeFallback(); // a damaged "\'h": nothing to show
            return;
        }
        textByte(static_cast<unsigned char>(value));
    }

    void unicodeCharacter(long long n)
    {
        if (m_state.skip)
            return; // nothing is shown here, fallbacks included
        if (n < 0)
            n += 65536; // \uN is a signed 16-bit number
        if (n >= 0 && n <= 0xFFFF) {
            // The two halves of a surrogate pair come as two \uN in a row and
            // simply follow one another in the UTF-16 text.
            put(char16_t(n));
        } else if (n > 0xFFFF && n <= 0x10FFFF) {
            // Some writers give a character beyond the BMP as one \uN.
            const auto cp = char32_t(n);
            put(QChar::highSurrogate(cp));
            put(QChar::lowSurrogate(cp));
        }
        m_fallbackToSkip = m_state.unicodeSkip; // the 8-bit stand-ins that follow
    }

    // The code page of the text here: the current font's, else the document's.
    int currentCodePage() const
    {
        const long long font = m_state.font >= 0 ? m_state.font : m_defaultFont;
        const auto it = m_fontCodePages.find(font);
        if (it != m_fontCodePages.end() && it->second != 0)
            return it->second;
        return m_codePage;
    }

    // One byte of 8-bit text (\'hh or a raw byte), unless skipped. Bytes in a
    // code page other than Windows-1252 are gathered, so that a character of
    // two bytes is decoded whole, and decoded before anything else is written.
    void textByte(unsigned char byte)
    {
        if (m_state.skip)
            return;
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        const int codePage = currentCodePage();
        if (codePage != m_bytesCodePage)
            flushBytes();
        if (m_bytes.isEmpty() && (byte < 0x80 || decoderFor(codePage) == nullptr)) {
            put(byte < 0x80 ? char16_t(byte) : windows1252ToUnicode(byte));
            return;
        }
        m_bytesCodePage = codePage;
        m_bytes.append(char(byte));
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QByteArray bytes = std::exchange(m_bytes, QByteArray());
        CodePageDecoder *decoder = decoderFor(m_bytesCodePage);
        const QString text = decoder->decode(bytes);
        for (const QChar ch : text)
            put(ch.unicode());
    }

    // Null for Windows-1252 and for code pages we cannot read.
    CodePageDecoder *decoderFor(int codePage)
    {
        if (codePage == kWindows1252)
            return nullptr;
        auto it = m_decoders.find(codePage);
        if (it == m_decoders.end())
            it = m_decoders.emplace(codePage, CodePageDecoder(codePage)).first;
        return it->second.isValid() ? &it->second : nullptr;
    }

    void put(char16_t ch)
    {
        if (!m_bytes.isEmpty())
            flushBytes(); // bytes gathered before come first
        if (m_length == m_text.size()) {
            m_text.resize(std::max<qsizetype>(16, m_text.size() * 2));
            m_out = reinterpret_cast<char16_t *>(m_text.data());
        }
        m_out[m_length++] = ch;
    }

    // One character of document text, unless skipped.
    void character(char16_t ch)
    {
        if (m_state.skip)
            return;
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return;
        }
        put(ch);
    }

    // Returns whether the break was written.
    bool lineBreak()
    {
        if (m_state.skip)
            return false;
        if (m_fallbackToSkip > 0) {
            --m_fallbackToSkip;
            return false;
        }
        put(u'\r');
        put(u'\n');
        return true;
    }

    void consumeFallback()
    {
        if (!m_state.skip && m_fallbackToSkip > 0)
            --m_fallbackToSkip;
    }

    const unsigned char *m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    QString m_text;  // the output buffer, m_size units
    char16_t *m_out; // its data
    qsizetype m_length = 0;
    bool m_done = false;
    bool m_seenGroup = false;
    GroupState m_state;
    std::vector<GroupState> m_stack;
    int m_fallbackToSkip = 0;
    int m_codePage = kWindows1252; // the document's
    long long m_defaultFont = -1;
    long long m_tableFont = -1;               // the font the font table describes now
    std::map<long long, int> m_fontCodePages; // 0: the document's
    std::map<long long, bool> m_fontHasCpg;   // \cpg given: it beats \fcharset
    QByteArray m_bytes;                       // gathered bytes of m_bytesCodePage, not yet decoded
    int m_bytesCodePage = kWindows1252;
    std::map<int, CodePageDecoder> m_decoders;
    qsizetype m_cellTabEnd = -1;       // text length just after the last cell's tab
    qsizetype m_cellParagraphEnd = -1; // text length just after a \par in a table
};

} // namespace

bool looksLikeRtf(QByteArrayView bytes)
{
    return bytes.startsWith(QByteArrayView("{\\rtf"));
}

QString rtfToPlainText(QByteArrayView rtf)
{
    return RtfReader(rtf).read();
}

} // namespace Files
