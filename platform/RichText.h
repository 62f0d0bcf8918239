#pragma once
// Message texts (RTF or plain text) turned into the Qt rich text the read-only message view shows.
//
// The HTML has one fixed shape, so the view and the checks on it know every tag that can appear:
// - The text is a sequence of paragraphs, never nested:
//       <p style="margin:0; white-space:pre-wrap">...</p>
//   RTF keeps every space and tab, hence pre-wrap; margin:0 because an RTF paragraph has no spacing
//   of its own. A paragraph with nothing in it is written the way Qt reads back as one empty line
//   (an empty <p></p> would vanish, a <p><br></p> would be two lines high):
//       <p style="-qt-paragraph-type:empty; margin:0"><br></p>
// - Inside a paragraph: text, <br> for a line break within it, and runs of formatted text,
//       <span style="font-weight:bold; font-style:italic; text-decoration:underline;
//                    color:#rrggbb; font-size:11.5pt">...</span>
//   never nested, naming only what differs from the view's own font and in that order; text in the
//   view's own font stands outside any span. A <br> may sit inside a run.
// - Text is UTF-8. & < > " are written &amp; &lt; &gt; &quot; and a non-breaking space &nbsp;, so
//   no character of the input can open or close a tag. Control characters other than tab are
//   dropped.
// - No text at all gives the empty string.
#include <string>
#include <string_view>

namespace fw {

// True when the text is RTF: it begins with "{\rtf" (leading blanks, tabs and line breaks allowed).
bool isRtf(std::string_view text);

// The RTF as HTML for QTextEdit::setHtml. Never throws, never reads past the input, always returns
// well-formed HTML (every tag it opens it closes), whatever the bytes.
//
// Read: groups (formatting saved and restored per group), \par \line \tab, \b \i \ul (and its
// variants) with \ulnone, \cf with \colortbl (an empty entry and an index past the table mean the
// view's colour), \fs in half-points (clamped to 1638 pt), \plain, \v (hidden text), \'hh in
// Windows-1252, \uN with \ucN fallback characters skipped, \\ \{ \} \~ \- \_, and the common
// typographic words (\emdash, \lquote, \bullet, ...). Destinations that carry no message text
// (\fonttbl, \stylesheet, \info, \pict, headers and footers, field instructions, any group opened
// with \*, ...) are skipped whole. \bin data is stepped over. Other control words are ignored.
// Raw bytes above 127 are Windows-1252, unless the whole input is valid UTF-8, then they are UTF-8.
// Malformed input shows what it can: missing closing braces are supplied, extra ones ignored.
std::string rtfToHtml(std::string_view rtf);

// Plain text as HTML: escaped, line breaks kept (for the same view when the text is not RTF).
// Each line (ended by CR LF, LF or CR) is a paragraph. The text is UTF-8 when it is valid UTF-8
// (a leading byte-order mark is dropped), Windows-1252 otherwise.
std::string plainToHtml(std::string_view text);

} // namespace fw
