#pragma once

// Connects what the windows ask for to what does it, once for the run.
void AnswerUserRequests();
