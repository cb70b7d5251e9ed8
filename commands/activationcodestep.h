#pragma once

class Dialog;
class QDialog;

// Asks for the activation code: clears dialogRejected, runs `before` (the
// command's other prompt, if any) and then `prompt` modally. Returns false when
// the operator dismissed the activation-code prompt; commands that honour a
// dismissal end there, the others go on with whatever was typed.
bool runActivationCodeStep(Dialog& prompt, QDialog* before = nullptr);
