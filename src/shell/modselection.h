#pragma once

// What `lexorn --selection` and the desktop action "Translate Selection" ask for: the translation
// window as Super+T shows it, the selected text (or else the clipboard's) in its editor as plain
// text, cut to 32,766 units with a message, and Translate pressed. With nothing but white space
// selected and copied, only the window shows.
void TranslateSelection();
