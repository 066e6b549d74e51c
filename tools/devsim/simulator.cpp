#include "simulator.h"

#include <algorithm>

namespace brevant::devsim {

namespace {

std::uint64_t MacKey(const MacAddress& mac) {
  std::uint64_t key = 0;
  for (const std::uint8_t byte : mac)
    key = (key << 8) | byte;
  return key;
}

}  // namespace

Simulator::Simulator(std::vector<DevicePlan> devices, SendFunction send,
                     std::filesystem::path outputRoot, std::string defaultLockCode)
    : send_(std::move(send)) {
  devices_.reserve(devices.size());
  for (auto& plan : devices) {
    SimDevice device;
    device.answer = MakeDiscoveryResponse(MacAddress{}, plan.mac, plan.texts);
    device.answer.setOpcode(plan.answerOpcode);
    device.again = MakeDiscoveryResponse(MacAddress{}, plan.mac, plan.AgainTexts());
    device.again.setOpcode(plan.answerOpcode);
    device.transfers = std::make_unique<DeviceTransfers>(
        plan.mac, plan.lockCode.value_or(defaultLockCode), plan.faults, outputRoot);
    device.plan = std::move(plan);
    // A MAC given twice is one device: the first plan wins.
    if (byMac_.emplace(MacKey(device.plan.mac), devices_.size()).second)
      devices_.push_back(std::move(device));
  }
}

void Simulator::OnFrame(const LinkFrame& frame, std::size_t wireLength, Clock::time_point now) {
  ++stats_.framesIn;
  if (frame.category() == DISCOVERY && frame.opcode() == OP_DISCOVER)
    ++stats_.discoveryRequests;
  if (frame.destination() == kBroadcastMac) {
    for (auto& device : devices_)
      Dispatch(device, frame, wireLength, now);
    return;
  }
  const auto it = byMac_.find(MacKey(frame.destination()));
  if (it == byMac_.end()) {
    ++stats_.ignored;
    return;
  }
  Dispatch(devices_[it->second], frame, wireLength, now);
}

void Simulator::Dispatch(SimDevice& device, const LinkFrame& frame, std::size_t wireLength,
                         Clock::time_point now) {
  switch (frame.category()) {
    case DISCOVERY:
      if (frame.opcode() == OP_DISCOVER) {
        OnDiscover(device, frame, now);
        return;
      }
      break;
    default: {
      // Chunk transfers and the command: only what is addressed to the device.
      if (frame.destination() != device.plan.mac)
        break;
      const std::size_t errors = device.transfers->Errors().size();
      const unsigned completed = device.transfers->CompletedTransfers();
      answers_.clear();
      device.transfers->OnFrame(frame, wireLength, answers_);
      for (const Outgoing& out : answers_) {
        if (out.held)
          held_.push_back(Due{now + out.delay, order_++, out.frame});
        else if (out.delay.count() == 0)
          SendNow(out.frame);
        else
          SendLater(now + out.delay, out.frame);
      }
      stats_.protocolErrors += device.transfers->Errors().size() - errors;
      stats_.transfers += device.transfers->CompletedTransfers() - completed;
      return;
    }
  }
  ++stats_.ignored;
}

void Simulator::OnDiscover(SimDevice& device, const LinkFrame& request, Clock::time_point now) {
  ++device.requestsSeen;
  if (!device.plan.answers || device.requestsSeen <= device.plan.skipRequests)
    return;
  for (int k = 0; k < device.plan.repeat; ++k) {
    LinkFrame answer = k == 0 ? device.answer : device.again;
    answer.setDestination(request.source());
    const auto delay = device.plan.delay + device.plan.repeatGap * k;
    if (delay.count() == 0)
      SendNow(answer);
    else
      SendLater(now + delay, answer);
  }
}

void Simulator::SendNow(const LinkFrame& frame) {
  if (send_(frame))
    ++stats_.answersSent;
  else
    ++stats_.sendFailures;
}

void Simulator::SendLater(Clock::time_point at, const LinkFrame& frame) {
  pending_.push(Due{at, order_++, frame});
}

std::size_t Simulator::ReleaseHeld(Clock::time_point now) {
  const std::size_t released = held_.size();
  for (Due& due : held_) {
    due.at = std::max(due.at, now);
    pending_.push(due);
  }
  held_.clear();
  return released;
}

std::optional<Simulator::Clock::time_point> Simulator::SendDue(Clock::time_point now) {
  while (!pending_.empty() && pending_.top().at <= now) {
    SendNow(pending_.top().frame);
    pending_.pop();
  }
  if (pending_.empty())
    return std::nullopt;
  return pending_.top().at;
}

}  // namespace brevant::devsim
