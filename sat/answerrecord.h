#pragma once

// The error record of a library without CodigoErro, the standard case: the tool builds it from the answer, so that
// every report reads as it does with a library that has one.

#include "dllsat.h"
#include "satcall.h"

#include <QByteArray>

// Code 0 and the message "EEEEE - mensagem" from the answer's second and third fields, or "EEEEE - CCCC -
// mensagem" for the answers that carry the alert code. The message is UTF-8, whatever the answer's text was,
// cut on a character boundary to fit the record with its NUL. An answer without separators is its own message.
ErroSAT recordFromAnswer(SatFunction function, const QByteArray& answer);
