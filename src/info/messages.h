#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@OSOBPOV@": the driver's personal messages as one numbered text: the administration's messages
// always, the others while unread.
void sendPersonalMessages(const net::RequestContext& context);

// "@OSOBPOVREADE@": every unread message of the driver gets the same reading time. Nothing is sent.
void markMessagesRead(const net::RequestContext& context);

// "@SKARGA(" addressee "~" text ")@": a complaint or proposal for the office, always; when the operator
// allows it and the addressee is "." + callsign, also a message to every driver of that callsign.
void storeComplaint(const net::RequestContext& context);

} // namespace taxi
