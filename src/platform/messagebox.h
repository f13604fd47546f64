#pragma once
// Modal message boxes: the questions and failures the demo shows its user.
//
// Implemented features:
//  [X] OK and Yes/No boxes; the text also goes to stderr as "caption: text"
//  [X] A box that cannot be shown answers No (OK for an OK box)
//  [X] On the desktop each box is shown by a child process: signals end the
//      wait, and no box outlives the program
//  [ ] In a browser no box is shown: the page shows stderr, and a question
//      answers No

namespace platform {

enum class BoxButtons { Ok, YesNo };
enum class BoxIcon { Exclamation, Stop, Information };
enum class BoxAnswer { Ok, Yes, No, Interrupted };
// Shows a modal box and writes "caption: text" to stderr. When no box can be
// shown the answer is No (Ok for an Ok box). The box is shown by a child
// process, so that SIGINT, SIGTERM and SIGHUP end the wait at once (the answer
// is then Interrupted and the box is taken down), and so that no box outlives
// the program, however it ends.
BoxAnswer messageBox(const char* text, const char* caption, BoxButtons buttons, BoxIcon icon);

}  // namespace platform
