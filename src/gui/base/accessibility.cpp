#include "gui/base/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>

namespace {
constexpr const char* kDecorative = "zorvantaDecorative";
constexpr const char* kLink = "zorvantaLink";

bool IsDecorative(const QObject* object)
{
    return object->property(kDecorative).toBool();
}

// A window or panel whose decorative pictures are not among its children.
class ContainerInterface final : public QAccessibleWidget {
public:
    ContainerInterface(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

    int childCount() const override { return static_cast<int>(Children().size()); }

    QAccessibleInterface* child(int index) const override
    {
        const QList<QWidget*> children = Children();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index])
                                                      : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? static_cast<int>(Children().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

private:
    QList<QWidget*> Children() const
    {
        QList<QWidget*> children;
        for (QObject* object : widget()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child && !child->isWindow() && !IsDecorative(child)) children.append(child);
        }
        return children;
    }
};

class LinkInterface final : public QAccessibleWidget {
public:
    explicit LinkInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::Link), label_(label) {}

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? label_->text() : QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) return;
        const QPointF centre = QRectF(label_->rect()).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent click(type, centre, label_->mapToGlobal(centre), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(label_, &click);
        }
    }

private:
    QLabel* label_;
};

QAccessibleInterface* Interface(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    if (object->property(kLink).toBool()) return new LinkInterface(static_cast<QLabel*>(widget));
    // The program's windows are plain widgets, which Qt reports as mere client areas.
    if (widget->isWindow() && object->metaObject() == &QWidget::staticMetaObject)
        return new ContainerInterface(widget, widget->parentWidget() ? QAccessible::Dialog : QAccessible::Window);
    for (const QObject* child : widget->children())
        if (IsDecorative(child)) return new ContainerInterface(widget, QAccessible::Pane);
    return nullptr;
}
}  // namespace

void InstallAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&Interface);
        return true;
    }();
    (void)installed;
}

void MarkDecorative(QWidget* picture)
{
    picture->setProperty(kDecorative, true);
}

void MarkLink(QLabel* label, const QString& description)
{
    // Qt made and kept the label's interface when its text was set; the next one is a link's.
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(QAccessible::queryAccessibleInterface(label)));
    label->setProperty(kLink, true);
    label->setAccessibleDescription(description);
}
