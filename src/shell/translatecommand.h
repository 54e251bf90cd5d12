#pragma once

class frmTranslateText;

// What the Translate button does: checks the text and the pair, translates while the progress
// window shows, and reports what was sent to the banner page.
void TranslateCommand(frmTranslateText &window);
