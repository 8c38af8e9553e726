#include "console/batch/distributionrules.h"

#include "console/batch/agentprogram.h"
#include "net/frame.h"

#include <QStringList>

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

std::optional<QString> DistributionRefusal(int code, const QString &fileName)
{
    // Only 510 restarts the agent after the swap; 500 and 520 would leave a half-updated agent.
    if ((code == Frame::DistributeFile || code == Frame::DistributeAndCollect)
        && fileName == AgentProgramFileName())
        return u"エージェントソフトのバージョンアップは「配信＆再起動」で行ってください！"_s;
    return std::nullopt;
}

QString AgentVersionUpText()
{
    return QStringList{
        u"クライアントPCのエージェントソフトをバージョンアップする場合は、"_s,
        u"配信するファイルとして新バージョンのエージェントソフトを指定して"_s,
        u"「配信＆再起動」ボタンを押してください。"_s,
        QString(),
        u"次の順で処理が実行され、新版のエージェントソフトが起動されます。"_s,
        u"① 新版のエージェントソフトがリネーム（拡張子exe→newに）されてから配信される。"_s,
        u"② 稼動中のエージェントソフトが終了する。"_s,
        u"③ 既存のエージェントソフトがリネーム（拡張子exe→mmddyyに）される。"_s,
        u"④ 配信された新版エージェントソフトがリネーム（拡張子new→exeに）されてから起動される。"_s,
    }.join(u"\r\n"_s);
}
