#pragma once

namespace taxi::net {
class RequestContext;
}

namespace taxi {

// "@LISTOPITUVAN@": the open questions this driver has not answered yet, with their numbers.
void sendOpenPolls(const net::RequestContext& context);

// "@PITAN[" number "]@": one question's answer choices, whether an own answer is allowed, and the count.
void sendPollQuestion(const net::RequestContext& context);

// "@VidVid[(" number ")" "{" answer "}" ...: stores the driver's answer. Nothing is sent.
void storePollAnswer(const net::RequestContext& context);

} // namespace taxi
