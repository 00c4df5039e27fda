#pragma once

#include <QObject>
#include <QString>

// One HTTP header row of the downloader, edited in place in its table.
class HeaderEntry : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
public:
    explicit HeaderEntry(QObject* parent = nullptr) : QObject(parent) {}
    HeaderEntry(const QString& name, const QString& value, QObject* parent = nullptr)
        : QObject(parent), m_name(name), m_value(value)
    {}

    QString name() const { return m_name; }
    void setName(const QString& name)
    {
        if (m_name != name) {
            m_name = name;
            emit nameChanged();
        }
    }
    QString value() const { return m_value; }
    void setValue(const QString& value)
    {
        if (m_value != value) {
            m_value = value;
            emit valueChanged();
        }
    }

signals:
    void nameChanged();
    void valueChanged();

private:
    QString m_name = QStringLiteral("newHeader");
    QString m_value = QStringLiteral("newValue");
};
