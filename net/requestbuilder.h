#pragma once

#include "net/frame.h"

#include <QByteArray>
#include <QStringView>

#include <optional>

/// Every request of the console is built here, from its code and what follows the header, so
/// the length field and the closing CR LF are written in one place.
namespace RequestBuilder {

/// A request with a text (parameter lines, a file name) or none: code ";" length ";" the text
/// in CP932 and CR LF.
QByteArray text(Frame::Code code, QStringView text = {});

/// The head of a file request: code ";" length ";" and the file sub-header, the length counting
/// the `fileBytes` that follow the head on the wire. nullopt when the length field cannot
/// describe the frame (more than 4 GiB - 1 in all).
std::optional<QByteArray> fileHead(Frame::Code code, const Frame::FileHeader &header,
                                   quint64 fileBytes);

} // namespace RequestBuilder
