// Screen review: lets a user who cannot see the console explore all of it
// without moving the program's own cursor. A review cursor travels over the
// 80 x 25 screen; keys read the character, word, line, field or a region
// under it aloud, search for a text typed blind and go to a row and column.
// The talking line editor enters it with Alt+Ctrl+F9. It owns the review
// cursor of one call and the last search text, which is kept between calls.
#pragma once

// Runs the review until Esc; the console cursor then goes back to where it
// was. Entering and leaving are signalled with the error tone (once, then
// twice).
void reviewScreen();
