// TQAPI: the base of every call class. One call object is one HTTP request to the server: it
// keeps its parameter record, builds its request, runs it as a task on the library's URL sessions,
// gathers the answer into its TQAPIQueryResponse and hands that to its completion handler once.
// A call class overrides prepareQuery() (and, for batches, apiResponseOperationClass()) only.
//
// Life of a call: made by initWithParameters<Call>() (or init<Call>()), prepared, registered on
// the facade's list of live calls, started with start() or one of the three start operations; then
// the session events arrive on the session's delegate queue, where the completion handler runs
// once, unless cancelAPI() came first. When the last holder lets it go, its download file is
// deleted (if the place still holds that file) and "API released: <class>" is posted.
//
// The request is one value: prepareQuery() fills it, urlRequest() reads it whole under the call's
// lock. Once the call has started, only cancelAPI() and the session events change it: every
// property setter raises TQException "NSInternalInconsistencyException" on a started call.
//
// HTTP 401: the call keeps its handler aside and asks the facade to renew the tokens (at most
// once per start; the token calls never do). The facade runs one renewal at a time for every call
// that waits on it, and a call whose token was already replaced since it was sent is resent at
// once. After a renewal the call is sent again from the main queue as the same kind of task (data,
// download, or upload of the same file) with the new token and a fresh outcome, and the kept
// handler receives the resend's outcome, a second 401 included; when nothing was renewed, the
// handler receives the 401 outcome. Either way the handler runs exactly once, and never after
// cancelAPI().
//
// Threads: every accessor is safe from any thread (the call's own lock guards its state).
// Handlers run on the delegate queue of the session that carries the task, never under a lock.
// Pipeline notifications are posted asynchronously on the main queue (and not at all while
// nobody observes them): TQAPIStartNotification and TQAPICompleteNotification with the task
// (std::shared_ptr<tq::URLSessionTask>) as object, the latter with the outcome
// (std::shared_ptr<TQAPIQueryResponse>) under TQAPIQueryResponseKey;
// TQAPIInfoMessageLogNotification with the message (std::string) as object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

#include "QuenlarCloudAPI/API/TQAPIParams.h"
#include "QuenlarCloudAPI/API/TQAPIQueryResponse.h"
#include "QuenlarCloudAPI/API/TQCallStart.h"
#include "QuenlarCloudAPI/API/TQDownloadFile.h"
#include "QuenlarCloudAPI/API/TQStringDictionary.h"
#include "QuenlarCloudAPI/Platform/JSON.h"
#include "QuenlarCloudAPI/Platform/URL.h"
#include "QuenlarCloudAPI/Platform/URLRequest.h"
#include "QuenlarCloudAPI/Platform/URLSessionDelegate.h"
#include "QuenlarCloudAPI/Platform/URLSessionTask.h"

class TQAPIResponseOperation;
class TQAuthenticationResponse;

inline constexpr const char* TQAPIStartNotification = "api_start_notification";
inline constexpr const char* TQAPICompleteNotification = "api_complete_notification";
inline constexpr const char* TQAPIInfoMessageLogNotification = "api_message_log_notification";
inline constexpr const char* TQAPIQueryResponseKey = "TQAPIQueryResponse";

// Receives the call's outcome once.
using TQAPICompletionHandler =
    std::function<void(const std::shared_ptr<TQAPIQueryResponse>& response)>;
// Makes the response operation that turns a batch call's outcome into model objects.
using TQAPIResponseOperationFactory = std::function<std::shared_ptr<TQAPIResponseOperation>()>;

class TQAPI : public std::enable_shared_from_this<TQAPI> {
 protected:
  // Only the factories below can make one, so every call object knows its class name.
  class Key {
    Key() = default;
    friend class TQAPI;
  };

 public:
  // Call classes inherit this constructor (`using TQAPI::TQAPI;`) and are made through the
  // factories, never directly.
  explicit TQAPI(Key key);
  virtual ~TQAPI();
  TQAPI(const TQAPI&) = delete;
  TQAPI& operator=(const TQAPI&) = delete;

  // A new call of class `Call` holding `params` (which may be nullptr: prepareQuery() then raises
  // the nil-argument exception). Sets the method to "GET", reads the server base URL, creates an
  // empty outcome and posts the message "API started: <Call>".
  template <class Call>
  static std::shared_ptr<Call> initWithParameters(std::shared_ptr<TQAPIParams> params) {
    auto call = std::make_shared<Call>(Key());
    call->initialise(classNameOf<Call>(), std::move(params), true);
    return call;
  }

  // As initWithParameters() without a record and without the "API started" message.
  template <class Call>
  static std::shared_ptr<Call> init() {
    auto call = std::make_shared<Call>(Key());
    call->initialise(classNameOf<Call>(), nullptr, false);
    return call;
  }

  // The call class's name, as the messages give it.
  const std::string& className() const { return className_; }

  // ---- What call classes override ----

  // Fills method, URL text, headers and body from the record, or raises: the nil-argument
  // exception without a record, the missing-parameter exception for a bad field. The base raises
  // the abstract-method exception.
  virtual void prepareQuery();

  // The response operation of this call in a batch; the base answers TQAPIResponseOperation.
  virtual TQAPIResponseOperationFactory apiResponseOperationClass() const;

  // ---- Request ----

  // The library bundle's ServerSettings.plist, read anew at every call; nullopt when it is
  // missing or not a dictionary.
  static std::optional<tq::JSON> serverSettings();
  // Its "ServerBaseURL" text; nullopt when absent.
  static std::optional<std::string> getServerBaseURL();

  // The headers of a resource call: "Authorization: Bearer <accessToken>", then
  // "Accept: application/json".
  static TQStringDictionary bearerJSONHeaders(const std::string& accessToken);

  // "k1=v1&k2=v2" in the dictionary's order, written as given (values are encoded by the call
  // class beforehand); empty text for an empty dictionary.
  static std::string paramterURLString(const TQStringDictionary& parameters);

  // The request as it would be sent now, read as one value: method, each header in order, then
  // "User-Agent" when there is at least one header, then the body when there is one.
  tq::URLRequest urlRequest() const;

  // ---- Starting, stopping ----

  // Starts the call as `how` says, with `completionHandler` to receive its outcome: a data task on
  // the default session, or a download or upload task on the background session with the
  // progress handler. A cancelled call starts nothing and drops the handlers.
  void start(const TQCallStart& how, TQAPICompletionHandler completionHandler);

  // A data task on the default session. An answer longer than
  // tq::URLSession::maximumResponseDataLength() fails with "data length exceeds maximum" (-1103)
  // and its body is dropped.
  void sendAsyncRequestWithCompletionHandler(TQAPICompletionHandler completionHandler);
  // A download task on the background session; the body goes to a download file in Documents.
  // When no file can be put there (a directory or link holds the name), the outcome carries the
  // error "cannot create file" (-3000) and no downloadedURL.
  void downloadFileWithProgressHandler(TQAPIProgressHandler progressHandler,
                                       TQAPICompletionHandler completionHandler);
  // An upload task from `fileURL` on the background session.
  void uploadFile(const tq::URL& fileURL, TQAPIProgressHandler progressHandler,
                  TQAPICompletionHandler completionHandler);

  // Cancels the tasks, drops every handler (none runs afterwards, including a facade delivery
  // already queued on the main queue) and takes the call off the list of live calls. Safe from
  // any thread: a delivery racing with it is claimed under the call's lock (claimDelivery()), so
  // either the cancel wins and nothing is reported, or the delivery was claimed first and runs
  // whole. A call class that starts further calls on its behalf overrides it to cancel them too,
  // calling this first.
  virtual void cancelAPI();
  bool isCancelled() const;

  // Claims the call's one report to the host: true once, unless the call was cancelled first;
  // after a successful claim, cancelAPI() no longer stops the report.
  bool claimDelivery();

  // Whether `sessionID` names the session of the current task (nullopt and "" are the same).
  bool compareSessionID(const std::optional<std::string>& sessionID) const;

  // The body as a JSON object or array; nullptr for anything else (never throws).
  static std::shared_ptr<const tq::JSON> parseData(std::string_view data);

  // ---- Exceptions ----
  [[noreturn]] static void throwNilArgumentException();
  [[noreturn]] static void throwAbstractMethodsException();
  // The missing-parameter exception without the "FATEL" log line.
  [[noreturn]] static void throwMissingParameterException(const std::string& message);

  // The Documents directory, fixed at its first use.
  static const tq::URL& documentsDirectoryURL();

  // ---- Session events, forwarded by TQURLSession on the session's delegate queue ----
  void didReceiveResponse(
      tq::URLSession& session, const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
      const std::shared_ptr<const tq::HTTPURLResponse>& response,
      const std::function<void(tq::URLSessionResponseDisposition)>& completionHandler);
  void didReceiveData(tq::URLSession& session,
                      const std::shared_ptr<tq::URLSessionDataTask>& dataTask,
                      const std::string& data);
  void didSendBodyData(tq::URLSession& session, const std::shared_ptr<tq::URLSessionTask>& task,
                       int64_t bytesSent, int64_t totalBytesSent, int64_t totalBytesExpectedToSend);
  void didWriteData(tq::URLSession& session,
                    const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                    int64_t bytesWritten, int64_t totalBytesWritten,
                    int64_t totalBytesExpectedToWrite);
  void didFinishDownloadingToURL(tq::URLSession& session,
                                 const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                                 const tq::URL& location);
  void didCompleteWithError(tq::URLSession& session,
                            const std::shared_ptr<tq::URLSessionTask>& task,
                            const std::optional<tq::URLError>& error);

  // ---- Properties ----
  // Setters raise TQException "NSInternalInconsistencyException" once the call has started.

  // Identifier of the session of the current task; nullopt on the default session.
  std::optional<std::string> sessionID() const;
  void setSessionID(std::optional<std::string> sessionID);
  // Task identifier of the current task; 0 before the call started (matches no event).
  uint64_t apiID() const;
  void setApiID(uint64_t apiID);

  std::string requestMethod() const;
  void setRequestMethod(std::string method);
  std::string requestURLString() const;
  void setRequestURLString(std::string text);
  // The URL set with setRequestURL(), else the one requestURLString makes (nullopt when it makes
  // none); a later setRequestURLString() replaces either.
  std::optional<tq::URL> requestURL() const;
  void setRequestURL(std::optional<tq::URL> url);
  TQStringDictionary requestHeaders() const;
  void setRequestHeaders(TQStringDictionary headers);
  // Sets one header in place, keeping the others and their order.
  void setRequestHeader(const std::string& name, std::string value);
  std::optional<std::string> requestBody() const;
  void setRequestBody(std::optional<std::string> body);
  // The server base URL read when the call was made; nullopt when the settings lack it.
  std::optional<std::string> serverBaseURL() const;
  void setServerBaseURL(std::optional<std::string> url);

  std::shared_ptr<tq::URLSessionDataTask> datatask() const;
  std::shared_ptr<tq::URLSessionDownloadTask> downloadTask() const;
  std::shared_ptr<tq::URLSessionUploadTask> uploadTask() const;

  std::shared_ptr<TQAPIParams> apiParams() const;
  void setApiParams(std::shared_ptr<TQAPIParams> params);

  TQAPICompletionHandler completionHandler() const;
  void setCompletionHandler(TQAPICompletionHandler handler);
  TQAPIProgressHandler progressHandler() const;
  void setProgressHandler(TQAPIProgressHandler handler);

  std::shared_ptr<TQAPIQueryResponse> apiResponse() const;
  void setApiResponse(std::shared_ptr<TQAPIQueryResponse> response);

 protected:
  // The record as the call class's own record type: raises the nil-argument exception when there
  // is none (or it is of another class), then runs its validateParameters().
  template <class Params>
  std::shared_ptr<Params> validatedParams() const {
    auto params = std::dynamic_pointer_cast<Params>(apiParams());
    if (!params) {
      throwNilArgumentException();
    }
    params->validateParameters();
    return params;
  }

  // The server base URL for building URL text: "(null)" when the settings lack it, as text
  // formatted from a missing value reads.
  std::string serverBaseURLText() const;

  // Takes each piece of the answer's body as it arrives, on the delegate queue. The base appends
  // it to the outcome's responseData, which completion parses into jsonResponse; a call class
  // whose answers can be too large to hold keeps them elsewhere instead.
  virtual void didReceiveResponseData(TQAPIQueryResponse& response, const std::string& piece);

  // Whether an HTTP 401 answer to this call may start a token refresh. Calls to the token
  // endpoints answer false, so that a refresh never refreshes itself.
  virtual bool startsRefreshFlow() const { return true; }

 private:
  // What prepareQuery() builds; read and written whole under the call's lock.
  struct Request {
    std::string method = "GET";
    std::string urlString;
    std::optional<tq::URL> url;  // set explicitly, or parsed from urlString when read
    TQStringDictionary headers;
    std::optional<std::string> body;
  };

  // The name of a call class, worked out once per class.
  template <class Call>
  static const std::string& classNameOf() {
    static const std::string name = demangledName(typeid(Call));
    return name;
  }
  static std::string demangledName(const std::type_info& type);

  void initialise(const std::string& className, std::shared_ptr<TQAPIParams> params, bool announce);
  // Under mutex_: raises the inconsistency exception once the call has started.
  void refuseChangeLocked() const;
  void startTask(const TQCallStart& how, TQAPICompletionHandler completionHandler);
  // The access token this call sent, read from its "Authorization: Bearer" header.
  std::string sentAccessToken() const;
  // Sets the task identity and re-indexes the call on the list of live calls before the task
  // runs, so that its first event finds the call.
  void adoptTask(uint64_t identifier, std::optional<std::string> sessionID);
  // The refresh flow. On an HTTP 401 answer the call keeps `handler` and `progress` aside and asks
  // the facade to renew the tokens; answers whether it did (a call refreshes at most once per
  // start).
  bool handOverToRefreshFlow(const std::shared_ptr<tq::URLSessionTask>& task,
                             TQAPICompletionHandler& handler, TQAPIProgressHandler& progress);
  // Main queue: with a renewed access token the call is sent again as the same kind of task,
  // with a fresh outcome, and the kept handler receives the resend's outcome; with none it
  // receives the 401 outcome of `firstTask`. Nothing when the call was cancelled meanwhile.
  void refreshAnswered(const std::shared_ptr<tq::URLSessionTask>& firstTask,
                       const std::optional<std::string>& renewedAccessToken);
  void resetOutcomeForResend();
  // The host or a batch starts the call: a 401 may refresh once again.
  void allowOneRefresh();
  void placeDownloadFile(const std::shared_ptr<tq::URLSessionDownloadTask>& downloadTask,
                         const tq::URL& location);
  // The session's error for the task, or the one of a download that could not be put in place.
  std::optional<tq::URLError> completionError(const std::optional<tq::URLError>& error);
  void removeDownloadFile();

  mutable std::mutex mutex_;
  std::string className_;
  std::optional<std::string> sessionID_;
  uint64_t apiID_ = 0;
  Request request_;
  std::optional<std::string> serverBaseURL_;
  std::shared_ptr<tq::URLSessionDataTask> datatask_;
  std::shared_ptr<tq::URLSessionDownloadTask> downloadTask_;
  std::shared_ptr<tq::URLSessionUploadTask> uploadTask_;
  std::shared_ptr<TQAPIParams> apiParams_;
  TQAPICompletionHandler completionHandler_;
  TQAPIProgressHandler progressHandler_;
  std::shared_ptr<TQAPIQueryResponse> apiResponse_;
  bool started_ = false;
  bool cancelled_ = false;
  bool deliveryClaimed_ = false;
  std::optional<TQDownloadFile> downloadFile_;
  bool downloadNotPlaced_ = false;
  // How the call was last started, so that a resend after a refresh keeps its kind.
  TQCallStart::Kind taskKind_ = TQCallStart::Kind::Data;
  std::optional<tq::URL> uploadFileURL_;
  // While the refresh flow runs: the handlers the resend will carry.
  TQAPICompletionHandler completionHandlerRefreshFlow_;
  TQAPIProgressHandler refreshProgressHandler_;
  bool refreshedSinceStart_ = false;
};
