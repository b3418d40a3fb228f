#pragma once

#include <memory>

class TestFolder;
class mainForm;

// The program started on a test folder, loaded and shown; a failed load ends the test run
// with the load error, as no check after it could mean anything.
std::unique_ptr<mainForm> loadForm(const TestFolder& folder);

// Moves the form to a 1-based step the way a user would: First, then Next.
void goToStep(mainForm& form, int step);
