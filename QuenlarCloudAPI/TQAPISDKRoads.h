// The roads every facade operation takes, as templates: the single call and the batch. Included by
// the facade's family files (TQAPISDK_<Family>.cpp), not by hosts: what they instantiate needs the
// call classes in full.
#pragma once

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "QuenlarCloudAPI/API/TQAPI.h"
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIBatchOutcome.h"
#include "QuenlarCloudAPI/APIOperation/OperationQueues/TQAPIOperationQueue.h"
#include "QuenlarCloudAPI/Model/TQMetadata.h"
#include "QuenlarCloudAPI/Platform/SystemLog.h"
#include "QuenlarCloudAPI/TQAPISDK.h"

// What a host receives when a virtual-folder fan-out sends nothing although the root listing
// answered (its answer was unreadable, or a folder's call could not be prepared): that answer,
// marked as failed, so that its 200 never reads as the operation's success.
inline std::shared_ptr<TQAPIQueryResponse> TQFanOutNotSent(
    std::shared_ptr<TQAPIQueryResponse> rootResponse) {
  if (!rootResponse) {
    rootResponse = std::make_shared<TQAPIQueryResponse>();
  }
  if (!rootResponse->error()) {
    rootResponse->setError(tq::URLError(tq::URLError::BadServerResponse,
                                        "The virtual folders could not be reached from the root "
                                        "listing; nothing was sent to them."));
  }
  return rootResponse;
}

template <class Call>
std::shared_ptr<Call> TQAPISDK::prepareCall(std::shared_ptr<TQAPIParams> params) const {
  copyAccessToken(params.get());
  auto call = TQAPI::initWithParameters<Call>(std::move(params));
  call->prepareQuery();
  return call;
}

template <class Call, class MakeRecord>
std::optional<std::vector<std::shared_ptr<Call>>> TQAPISDK::prepareFanOut(
    const TQMetadata* root, std::string_view operation, MakeRecord makeRecord) const {
  std::vector<std::shared_ptr<Call>> calls;
  if (root == nullptr) {
    return calls;
  }
  try {
    for (const auto& folder : root->subFolders()) {
      calls.push_back(prepareCall<Call>(makeRecord(folder->name().value_or(""))));
    }
  } catch (const std::exception& error) {
    tq::systemLog(
        std::string("[ERROR] ") + std::string(operation) +
        ": a virtual folder's call could not be prepared, nothing was sent: " + error.what());
    return std::nullopt;
  }
  return calls;
}

template <class Call, class Parse>
std::shared_ptr<Call> TQAPISDK::startSingleCall(
    std::shared_ptr<TQAPIParams> params, int expectedStatus, Parse parse,
    std::function<void(const std::invoke_result_t<Parse&, const TQAPIQueryResponse&>&,
                       const std::shared_ptr<TQAPIQueryResponse>&)>
        hostHandler,
    const TQCallStart& start) {
  using Model = std::invoke_result_t<Parse&, const TQAPIQueryResponse&>;
  auto call = prepareCall<Call>(std::move(params));
  registerAndStart(
      call, start,
      [expectedStatus, parse = std::move(parse), hostHandler = std::move(hostHandler)](
          const std::shared_ptr<TQAPIQueryResponse>& response) mutable -> std::function<void()> {
        Model model{};
        if (TQAPIQueryResponse_Helper::answeredWith(*response, expectedStatus)) {
          // The answer is untrusted: whatever reading it throws costs the model, not the process.
          try {
            model = parse(*response);
          } catch (const std::exception& e) {
            reportModelFailure(e.what());
          } catch (...) {
            reportModelFailure("unknown exception");
          }
        }
        return [hostHandler = std::move(hostHandler), model = std::move(model), response] {
          if (hostHandler) {
            hostHandler(model, response);
          }
        };
      });
  return call;
}

template <class Call>
std::shared_ptr<Call> TQAPISDK::startSingleCall(std::shared_ptr<TQAPIParams> params,
                                                TQAPIResponseHandler hostHandler,
                                                const TQCallStart& start) {
  auto call = prepareCall<Call>(std::move(params));
  registerAndStart(call, start,
                   [hostHandler = std::move(hostHandler)](
                       const std::shared_ptr<TQAPIQueryResponse>& response) mutable {
                     return std::function<void()>([hostHandler = std::move(hostHandler), response] {
                       if (hostHandler) {
                         hostHandler(response);
                       }
                     });
                   });
  return call;
}

template <class Call>
std::shared_ptr<TQAPIOperationQueue> TQAPISDK::startBatch(
    const std::vector<std::shared_ptr<Call>>& calls,
    TQAPIBatchCompletionHandler<TQBatchModelOf<Call>> completionHandler,
    std::function<TQCallStart(const Call&)> start) {
  using Model = TQBatchModelOf<Call>;
  using ResponseOperation = typename Call::ResponseOperation;
  static_assert(std::is_base_of_v<TQResponseOperationOf<Model>, ResponseOperation>,
                "a batch reads its calls with their family's response operation");

  auto batch = TQAPIOperationQueueOf<Model>::create();
  // The batch keeps its completion handler, so the handler holds the batch weakly; while it runs,
  // the gathering that calls it holds the batch.
  batch->setCompletionHandler([weakBatch = std::weak_ptr<TQAPIOperationQueueOf<Model>>(batch),
                               completionHandler = std::move(completionHandler)](
                                  std::vector<Model> results,
                                  std::vector<std::shared_ptr<TQAPIQueryResponse>> responses) {
    if (!completionHandler) {
      return;
    }
    auto outcome = TQAPIBatchOutcome<Model>::make(std::move(results), std::move(responses));
    deliverBatchOnMainQueue(weakBatch.lock(), [completionHandler, outcome = std::move(outcome)] {
      completionHandler(outcome);
    });
  });
  for (const auto& call : calls) {
    std::shared_ptr<ResponseOperation> operation;
    // A call class whose response operation needs something of the call makes it itself.
    if constexpr (requires { call->makeResponseOperation(); }) {
      operation = call->makeResponseOperation();
    } else {
      operation = std::make_shared<ResponseOperation>();
    }
    batch->addAPI(call, operation, start ? start(*call) : TQCallStart::data());
  }
  batch->seal();
  return batch;
}

template <class Call, class Params>
std::shared_ptr<TQAPIOperationQueue> TQAPISDK::startBatchWithParameters(
    const std::vector<std::shared_ptr<Params>>& paramsList,
    TQAPIBatchCompletionHandler<TQBatchModelOf<Call>> completionHandler) {
  std::vector<std::shared_ptr<Call>> calls;
  calls.reserve(paramsList.size());
  for (const auto& params : paramsList) {
    calls.push_back(prepareCall<Call>(params));
  }
  return startBatch<Call>(calls, std::move(completionHandler));
}
