#pragma once

#include <QString>

#include <optional>

/// What a button of the distribution page does with the file chosen: the box it shows, the
/// request it hands to the batch, or the export of the result list.
struct DistributionStep
{
    enum Kind { Message, Batch, Export };
    Kind kind = Message;
    bool warning = false; // exclamation icon; information icon otherwise
    QString text;         // the message box text
    int code = 0;         // the batch request (500, 510, 520)
};

namespace DistributionRules {
/// Button `index` (0 to 4) pressed with `fileName` chosen ("" when none).
DistributionStep step(int index, const QString &fileName);
/// Whether the buttons 0 to 2 and the file choice stay disabled after `step`: only a batch
/// keeps them disabled (until a computer is newly ticked); a box or an export gives them back.
bool keepsButtonsDisabled(const DistributionStep &step);
} // namespace DistributionRules

/// The refusal of a distribution before it starts: the agent's own program may go out only with
/// restart (510). Returns the warning text, or nullopt when the distribution may go.
std::optional<QString> DistributionRefusal(int code, const QString &fileName);
/// The explanation of updating the agent (the "エージェントのVersion Upについて" box).
QString AgentVersionUpText();
