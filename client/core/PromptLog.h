#pragma once

// Test-only. When the environment variable ROOKWELL_PROMPT_LOG names a file,
// every message, question and file chooser of the client is appended to it
// (kind, caption and text as it opens, then the answer) while the real dialog still
// shows and is answered by the user; the end-to-end sessions in tests/e2e
// read what the client said from it. Unset, nothing changes.
void InstallPromptLogFromEnvironment();
