#pragma once
// One running program per user session. A later start finds the running one
// through a local socket, asks it to come forward and ends; the running one
// hears the request as `activationRequested`.

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

namespace parlavox::toolkit {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // key names the program; the user and the display are added to it.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance runs and was asked to come forward: this one should end.
    bool handedOver() const { return handedOver_; }
    QString serverName() const { return name_; }

  signals:
    void activationRequested();

  private:
    QString name_;
    bool handedOver_ = false;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace parlavox::toolkit
