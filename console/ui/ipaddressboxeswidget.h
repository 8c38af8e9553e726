#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

#include <memory>

class QLineEdit;

namespace Ui {
class IpAddressBoxesWidget;
}

/// The four boxes of a typed IP address (`txtIPAddress_0` to `_3`): they take only the keys the
/// rules of IpAddressBoxes allow, correct a number above 255, move on at "." and select their
/// number when they take the focus, so that typing replaces it.
class IpAddressBoxesWidget : public QWidget
{
    Q_OBJECT
public:
    explicit IpAddressBoxesWidget(QWidget *parent = nullptr);
    ~IpAddressBoxesWidget() override;

    /// The four boxes' texts.
    QStringList texts() const;
    /// The palette of the boxes: greyed while the tree is the source of the target.
    void setBoxPalette(const QPalette &palette);

Q_SIGNALS:
    /// A box took the focus: the typed address becomes the source of the target.
    void focused();
    /// A box was edited (or took the focus); `texts` are the four boxes after the correction.
    void edited(const QStringList &texts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onEdited(int box);
    bool onKey(int box, class QKeyEvent *event);

    std::unique_ptr<Ui::IpAddressBoxesWidget> m_ui;
    QList<QLineEdit *> m_boxes;
};
