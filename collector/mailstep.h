#pragma once

struct RunContext;

/// The mail step: sends the result mail with its attachments, logging to MAC text + ".MAIL.LOG".
/// Runs its own event loop until the SMTP dialogue ends or times out.
void SendMailStep(RunContext &run);
