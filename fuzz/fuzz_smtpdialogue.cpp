// Feeds arbitrary server bytes, in chunks of fuzzer-chosen sizes, to the SMTP reply reader and
// the client's dialogue, and checks what a driver relies on: no reply is empty, a command comes
// only with a send and never carries a line break of the server's, and the result is always one
// of the result codes; in a secured dialogue the password never shows and a login never goes
// before TLS.
#include "collector/mail/smtpdialogue.h"
#include "collector/mail/smtpreplyreader.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_smtpdialogue: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const int recipients = input.ConsumeIntegralInRange(0, 3);
    QStringList list;
    for (int i = 0; i < recipients; ++i)
        list.append(QStringLiteral("r%1@example.com").arg(i));
    SmtpSecurity security;
    security.tls = SmtpSecurity::Tls(input.ConsumeIntegralInRange(0, 2));
    if (input.ConsumeBool()) {
        security.user = QStringLiteral("pc01");
        security.password = QStringLiteral("s3cret");
    }
    bool encrypted = security.tls == SmtpSecurity::Tls::Implicit;
    SmtpDialogue dialogue(QStringLiteral("pc01"), QStringLiteral("pc01@example.com"), list,
                          security);
    SmtpReplyReader reader;
    bool ended = false;
    while (input.remaining_bytes() > 0 && !ended) {
        const bool messageSent = input.ConsumeBool();
        const std::string chunk = input.ConsumeRandomLengthString(512);
        reader.feed(QByteArrayView(chunk.data(), qsizetype(chunk.size())));
        while (const auto reply = reader.takeReply()) {
            check(!reply->text.isEmpty(), "empty reply");
            SmtpDialogue::Step step = dialogue.onReply(*reply, messageSent);
            if (step.action == SmtpDialogue::Step::Action::StartTls) {
                encrypted = true;
                step = dialogue.onEncrypted();
            }
            check(!step.shown.contains(QStringLiteral("s3cret"))
                      && !step.status.contains(QStringLiteral("s3cret"))
                      && !step.logLine.contains(QStringLiteral("s3cret")),
                  "the password shows");
            check(encrypted || !step.command.startsWith(QStringLiteral("AUTH")),
                  "a login before TLS");
            check(!step.command.contains(QLatin1Char('\n')) && !step.command.contains(QLatin1Char('\r')),
                  "a command holds a line break");
            check(step.action == SmtpDialogue::Step::Action::Send || step.command.isEmpty(),
                  "a command without a send");
            if (step.action == SmtpDialogue::Step::Action::End) {
                ended = true;
                break;
            }
        }
    }
    const int result = dialogue.result();
    check(result >= SmtpDialogue::Accepted && result <= SmtpDialogue::AuthFailed,
          "result out of range");
    return 0;
}
