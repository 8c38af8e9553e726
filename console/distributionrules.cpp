#include "console/distributionrules.h"

#include "console/batchrun.h"
#include "net/frame.h"

using namespace Qt::Literals::StringLiterals;

namespace DistributionRules {

DistributionStep step(int index, const QString &fileName)
{
    if (fileName.isEmpty())
        return {DistributionStep::Message, false, u"配信するファイルを指定してください！"_s, 0};
    if (index == 3)
        return {DistributionStep::Message, false, AgentVersionUpText(), 0};
    if (index == 4)
        return {DistributionStep::Export, false, {}, 0};
    const Frame::Code code = index == 0 ? Frame::DistributeFile
                            : index == 1 ? Frame::DistributeAndRestart
                                         : Frame::DistributeAndCollect;
    if (const auto refusal = DistributionRefusal(code, fileName))
        return {DistributionStep::Message, true, *refusal, 0};
    return {DistributionStep::Batch, false, {}, code};
}

bool keepsButtonsDisabled(const DistributionStep &step)
{
    return step.kind == DistributionStep::Batch;
}

} // namespace DistributionRules
