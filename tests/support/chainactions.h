#pragma once

#include "support/chainmodel.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QStringList>

// The actions of ChainModel as clients spell them: drawn at random from a seed, and as the
// API's body, an MQTT message or vornikctl's arguments.
namespace ChainActions {

using Action = ChainModel::Action;

// count actions, each one the model allows after those before it, drawn from seed.
QList<Action> random(quint32 seed, int count, int digits);
// The actions numbered, one a line, each with its path, its kind, its tag and its body.
QString listed(const QList<Action> &actions);

// The JSON body of the action's call.
QJsonObject body(const Action &action);
// The topic under the prefix and the payload: a plain text where that says it all.
QPair<QString, QByteArray> mqtt(const Action &action);
// vornikctl's arguments (message, attributes, blank, font upload of fontFile).
QStringList ctlArguments(const Action &action, const QString &fontFile);

} // namespace ChainActions
