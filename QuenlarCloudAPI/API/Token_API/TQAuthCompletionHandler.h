// The handler types of sign-in and of the token refresh.
#pragma once

#include <functional>
#include <memory>

class TQAuthenticationResponse;
class TQOAuthLoginPageResponse;
class TQAPIQueryResponse;

// Receives a sign-in's outcome once: the tokens (nullptr when the sign-in gave none), the sign-in
// page's outcome (nullptr when no page was shown) and the outcome of the code exchange (nullptr
// when none was sent).
using TQAuthCompletionHandler =
    std::function<void(const std::shared_ptr<TQAuthenticationResponse>& tokens,
                       const std::shared_ptr<TQOAuthLoginPageResponse>& pageResponse,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;

// Receives a token refresh's outcome once, on the main queue: the facade's tokens as they are
// after the refresh (the new ones after a success, the earlier ones otherwise; nullptr when
// nobody is signed in any more) and the refresh call's outcome.
using TQRefreshSessionCompletionHandler =
    std::function<void(const std::shared_ptr<TQAuthenticationResponse>& tokens,
                       const std::shared_ptr<TQAPIQueryResponse>& response)>;
