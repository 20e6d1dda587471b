#pragma once

#include <QList>
#include <QSqlQuery>
#include <QString>

#include "engine/TableData.h"

namespace svod::checks {

// The protocols of one reception, in the order in which the checks produced them.
class ProtocolStore {
public:
    void add(engine::TableData protocol) { protocols_.append(std::move(protocol)); }
    void clear() { protocols_.clear(); }
    int count() const { return int(protocols_.size()); }
    const QList<engine::TableData>& protocols() const { return protocols_; }

private:
    QList<engine::TableData> protocols_;
};

// The branch and packet the protocols speak of.
struct ProtocolHeader {
    QString FilialName;
    QString PacketInfo;
};

// The title of a protocol: only the first of a reception names the branch and the packet.
QString protocolTitle(bool first, const ProtocolHeader& header, const QString& title);

// Display texts of the plane columns.
QString TypOnGetText(const QString& plane);
QString TypOnGetText2(const QString& plane);

// A protocol from the rows of an open result, from its current row (or its first) to its end: the columns set
// up by the column table (SetFCap), display texts formatted and trimmed.
engine::TableData makeProtocol(const QString& title, QSqlQuery& result);

// NewShowErr mode 1: the protocol goes into the store.
void NewShowErr(ProtocolStore& store, const ProtocolHeader& header, const QString& title, QSqlQuery& result);
// NewShowErr mode 3: a protocol of the title alone, for showing at once.
engine::TableData immediateProtocol(const ProtocolStore& store, const ProtocolHeader& header,
                                    const QString& title);

} // namespace svod::checks
