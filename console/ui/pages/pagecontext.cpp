#include "console/ui/pages/pagecontext.h"

#include <QHeaderView>
#include <QTreeView>

void useTextFont(QWidget &view)
{
    // One CJK-capable fixed-pitch face for agent text: no line changes font with its content.
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::Monospace);
    font.setPointSizeF(view.font().pointSizeF());
    view.setFont(font);
}

void sizeColumns(QTreeView &view, const QStringList &sizingTexts)
{
    // The blanks of a sizing text stood for character cells of a fixed-pitch font; a
    // proportional font's blank is far narrower, so each counts as an average character.
    const QFontMetrics metrics(view.font());
    for (int i = 0; i < sizingTexts.size(); ++i) {
        const QString word = sizingTexts.at(i).trimmed();
        const qsizetype blanks = sizingTexts.at(i).size() - word.size();
        view.setColumnWidth(i, metrics.horizontalAdvance(word)
                                   + int(blanks) * metrics.averageCharWidth());
    }
}
