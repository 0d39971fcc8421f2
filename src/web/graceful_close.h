#pragma once

class QTcpSocket;

namespace periodix::web {

// Ends a connection after the server's last word (an error's answer, a
// Close) without a reset: what was written goes out first, then the write
// side is shut, and what the client still sends is read and dropped until
// it closes too, or for at most lingerMs. Closed at once with unread data,
// the kernel would answer with a reset, and a client's stack may then drop
// the answer it had not yet read.
void closeGracefully(QTcpSocket *socket, int lingerMs = 1000);

} // namespace periodix::web
