#include "commands/activationcodestep.h"

#include "app/commandstate.h"
#include "forms/dialog.h"

bool runActivationCodeStep(Dialog& prompt, QDialog* before)
{
    dialogRejected = false;
    if (before)
        before->exec();
    prompt.exec();
    return !dialogRejected;
}
