#pragma once

// Shaping the text of a message box so that the box fits on the screen. A message box grows as wide
// as its longest line, and the system breaks lines only at spaces: a long path, or a long argument
// without spaces, makes a box wider than the screen. Lines that are short enough are left exactly
// as they are.

#include <cstddef>
#include <string>
#include <string_view>

namespace velmor {

// The widest line, in columns (see DisplayColumns), that a message keeps: about 650 pixels at the
// usual message font.
inline constexpr std::size_t kMessageLineColumns = 100;

// The widest paragraph (text between line breaks) that a message keeps whole; a wider one is
// shortened in the middle. Eight lines at most.
inline constexpr std::size_t kMessageParagraphColumns = 8 * kMessageLineColumns;

// How wide text is on screen, in columns: a full-width character (kana, kanji, full-width forms)
// takes two, any other character one. A UTF-16 surrogate pair is one character.
std::size_t DisplayColumns(std::wstring_view text);

// text with every paragraph no wider than kMessageParagraphColumns (shortened in the middle, where
// "…" stands for what was left out) and broken into lines no wider than kMessageLineColumns: after
// a backslash or slash, at a space (which the line break replaces), between full-width characters,
// or, where none of these is near, after the last character that fits.
std::wstring FitMessageText(std::wstring_view text);

// What both programs say, before Excel starts, of a link on the way to their files that another
// ordinary account laid: where it is, that it leads elsewhere, that nothing was changed in Excel,
// and that an administrator should look at it.
std::wstring UntrustedLinkMessage(std::wstring_view linkPath);

// What the setup program says, before anything runs, when it runs as another account than the
// user at the desk: for which account the add-in would be registered, and how to start it instead.
std::wstring SetupOtherAccountMessage(std::wstring_view accountName);

// The same for the uninstall program, which would release the add-in for that account.
std::wstring UninstallOtherAccountMessage(std::wstring_view accountName);

}  // namespace velmor
