#include "app/form_translator.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QVariant>

#include "app/lang_engine.h"

namespace kv::app {
namespace {

constexpr char kDesignText[] = "kvDesignText";  // an item's text as designed, kept for later translations
constexpr char kTranslatable[] = "*";

QString Str(const std::string& text) { return QString::fromStdString(text); }

class TFormTranslator {
public:
    TFormTranslator(const TLangEngine& lang, std::string section) : lang_(lang), section_(std::move(section)) {}

    // Sets `apply` with the text of `key` when the language file has one.
    template <class Apply>
    void WithText(const QString& key, Apply apply) const {
        if (const std::optional<std::string> text = lang_.FormText(section_, key.toStdString())) apply(Str(*text));
    }

    void Component(QObject& object) const {
        const QString name = object.objectName();
        if (name.isEmpty()) return;
        if (auto* label = qobject_cast<QLabel*>(&object)) WithText(name, [&](const QString& t) { label->setText(t); });
        if (auto* button = qobject_cast<QAbstractButton*>(&object))
            WithText(name, [&](const QString& t) { button->setText(t); });
        if (auto* group = qobject_cast<QGroupBox*>(&object)) {
            WithText(name, [&](const QString& t) { group->setTitle(t); });
            if (group->property("kvRadioGroup").toBool()) RadioItems(*group);
        }
        if (auto* edit = qobject_cast<QLineEdit*>(&object)) WithText(name, [&](const QString& t) { edit->setText(t); });
        if (auto* dock = qobject_cast<QDockWidget*>(&object))
            WithText(name, [&](const QString& t) { dock->setWindowTitle(t); });
        if (auto* menu = qobject_cast<QMenu*>(&object)) WithText(name, [&](const QString& t) { menu->setTitle(t); });
        if (auto* action = qobject_cast<QAction*>(&object)) {
            WithText(name, [&](const QString& t) { action->setText(t); });
            WithText(name + "Hint", [&](const QString& t) {
                action->setToolTip(t);
                action->setStatusTip(t);
            });
        }
        if (auto* combo = qobject_cast<QComboBox*>(&object)) {
            for (int item = 0; item < combo->count(); ++item) {
                if (DesignText(*combo, item, combo->itemText(item)) != kTranslatable) continue;
                WithText(name + "I" + QString::number(item), [&](const QString& t) { combo->setItemText(item, t); });
            }
        }
    }

private:
    // The item texts as designed are remembered on first translation: a second language must still find
    // the "*" marks that the first one replaced.
    static QString DesignText(QObject& owner, int item, const QString& current) {
        const QByteArray property = QByteArray(kDesignText) + QByteArray::number(item);
        if (!owner.property(property).isValid()) owner.setProperty(property, current);
        return owner.property(property).toString();
    }

    void RadioItems(QGroupBox& group) const {
        int item = 0;
        for (QRadioButton* radio : group.findChildren<QRadioButton*>()) {
            const int index = item++;
            if (DesignText(*radio, 0, radio->text()) != kTranslatable) continue;
            WithText(group.objectName() + "I" + QString::number(index), [&](const QString& t) { radio->setText(t); });
        }
    }

    const TLangEngine& lang_;
    std::string section_;
};

void Translate(const TLangEngine& lang, QWidget& form) {
    const TFormTranslator translator(lang, form.objectName().toStdString());
    translator.WithText("Caption", [&](const QString& t) { form.setWindowTitle(t); });
    // Owned components in creation order; a frame's own components are its section's business.
    std::vector<QObject*> pending(form.children().begin(), form.children().end());
    for (std::size_t i = 0; i < pending.size(); ++i) {
        QObject* object = pending[i];
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget != nullptr && widget->property("kvFrame").toBool() && !widget->objectName().isEmpty()) {
            Translate(lang, *widget);
            continue;
        }
        translator.Component(*object);
        pending.insert(pending.end(), object->children().begin(), object->children().end());
    }
}

}  // namespace

void TranslateForm(const TLangEngine& lang, QWidget& form) { Translate(lang, form); }

}  // namespace kv::app
