#pragma once

// What `lexorn --selection` and the desktop action "Translate Selection" ask for: the translation
// window as Super+T shows it, the selected text (or else the clipboard's) in its editor as plain
// text, and Translate pressed. With nothing selected and nothing copied, only the window shows.
void TranslateSelection();
