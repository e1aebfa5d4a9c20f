// Answers the program's message and input boxes from a test, and real modal
// windows through the event loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Dialogs.h"

class QWidget;

namespace boxes {

// Queues the answer (IDYES, IDNO, IDOK, IDCANCEL) for the next box; for an input
// box, input is the text typed. Unqueued boxes get OK, or No for a question.
void Answer(int id, const std::string& input = {});

// Runs action when the next box appears (it may process events, cancel, ...);
// its return value is the answer.
void OnNext(std::function<int(const ShownBox&, std::string&)> action);

// The boxes shown so far in this test.
const std::vector<ShownBox>& Shown();

// The UTF-8 texts of the boxes shown, in order (for readable assertions).
std::vector<std::string> Texts();

// Forgets answers and shown boxes; installs the script (done before each test).
void Reset();

// Calls action with the modal window once one is active (checked every 10 ms,
// for up to timeoutMs). Used for the program's own modal windows.
void WhenModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);

} // namespace boxes
