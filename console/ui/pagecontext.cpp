#include "console/ui/pagecontext.h"

#include <QHeaderView>
#include <QTreeView>

void sizeColumns(QTreeView &view, const QStringList &sizingTexts)
{
    const QFontMetrics metrics(view.font());
    for (int i = 0; i < sizingTexts.size(); ++i)
        view.setColumnWidth(i, metrics.horizontalAdvance(sizingTexts.at(i)));
}
