// The talking line editor: reads one line of text at a fixed place of the
// console for a user who may not see it. Typed characters are echoed by
// voice, the arrow keys say the character they pass, function keys read the
// word or the whole line, short recorded prompts announce deletions. It also
// dials the line as telephone tones, opens the word under the cursor (a web
// address, a program or a document), changes the speech speed, tells the
// time and date and enters screen review (Alt+Ctrl+F9). It owns the state
// of one call (the field, cursor, scroll and selection); the echo and
// first-key-clears flags belong to the speech facade, which the editor
// speaks through.
#pragma once

#include <string>
#include <string_view>

// The longest field the editor keeps; longer maximum lengths are cut to it.
constexpr int LINE_FIELD_MAX = 2048;

// Exit codes of readTalkingLine besides the keys that end a line (9 Tab,
// 10 Ctrl+Enter, 13 Enter, 27 Esc) and the second code of any special key
// the editor leaves to its caller (72 Up, 80 Down, 60 F2, ...).
constexpr int LINE_EXIT_ALT_F1 = 104;
constexpr int LINE_EXIT_CTRL_F9 = 102;

// Edits `text` in a field of at most `maxLength` characters whose first
// character sits at `column`, `row` (1-based); the visible width is
// 79 - column. When `editable` is off the text cannot change, but moving,
// reading, copying and the function keys work. Returns the exit code; the
// text comes back without trailing spaces.
int readTalkingLine(std::string& text, int column, int row, bool editable, int maxLength);

// An editable field of 1024 characters at the console cursor, starting
// empty. Esc blanks what was typed on the screen and gives the empty text;
// in every case the console then moves to the next line. Returns the exit
// code of readTalkingLine.
int readLineAtCursor(std::string& text);

// Plays the digits, "#" and "*" of `text` as telephone tones; a comma waits
// a second, other characters are skipped. A waiting key ends the dialling.
void dialTones(std::string_view text);

// Opens `word` (as found under the editor's cursor: the characters " ( * - .
// < = > [ _ { are stripped from both ends): a web address with the program
// of [FALARIS] PROG.HTM, a file with the program of PROG.<extension>, a
// program (.EXE, .COM) by running it, anything else by itself. An empty word
// answers with errorBeep.
void openWordTarget(std::string_view word);

// Tests: receives, in order, every sound the editor asks the facade for:
// a recording by name ("_DEL", "_97" for the letter a, "dtmf_5"), "click",
// "error", "text:" or "spell:" with the text, "time", "date", and "speed:"
// with a new speed. Null turns it off.
using LineEditorTrace = void (*)(std::string_view event);
void setLineEditorTrace(LineEditorTrace trace);
