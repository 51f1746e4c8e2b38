#pragma once
// A device played by a script: the DeviceLink messages it sends, the raw
// bytes it streams, the answers of its liveness probes; it records what the
// host sent back.
#include <cstring>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "device/IDeviceLink.h"

namespace fq::test {

// Builders for property-list nodes; each returns a new node the caller owns.
inline plist_t S(const std::string& text) { return plist_new_string(text.c_str()); }
inline plist_t R(double value) { return plist_new_real(value); }
inline plist_t U(uint64_t value) { return plist_new_uint(value); }
inline plist_t A(std::initializer_list<plist_t> items) {
  plist_t array = plist_new_array();
  for (plist_t item : items) plist_array_append_item(array, item);
  return array;
}
inline plist_t D(std::initializer_list<std::pair<const char*, plist_t>> items) {
  plist_t dict = plist_new_dict();
  for (const auto& [key, value] : items) plist_dict_set_item(dict, key, value);
  return dict;
}

// Raw stream pieces, as the device frames them.
inline std::string BigEndian32(uint32_t n) {
  return {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
          static_cast<char>(n)};
}
inline std::string FileName(const std::string& name) {
  return BigEndian32(static_cast<uint32_t>(name.size())) + name;
}
inline std::string Block(char code, const std::string& data) {
  return BigEndian32(static_cast<uint32_t>(data.size() + 1)) + std::string(1, code) + data;
}

struct SentStatus {
  int32_t code = 0;
  std::string text;  // empty when none was sent
  bool hasPayload = false;
  PlistPtr payload;
};

class ScriptedDeviceLink final : public IDeviceLink {
 public:
  // Messages in the order the device sends them; a null entry is a receive
  // that brings nothing.
  void Send(plist_t message) { m_messages.emplace_back(message); }
  void SendNothing() { m_messages.emplace_back(nullptr); }
  // Bytes the device streams.
  std::string incoming;
  // At most this many bytes per raw receive (partial reads).
  size_t maxPiece = SIZE_MAX;
  // Probe answers in order; when they run out, `probeDefault`.
  std::deque<bool> probes;
  bool probeDefault = true;
  bool attached = true;

  std::string sent;
  std::vector<SentStatus> statuses;
  int probeCount = 0;
  int attachedChecks = 0;

  int32_t ReceiveMessage(PlistPtr& message, std::string& name) override {
    name.clear();
    message.reset();
    // A script that ran out ends the exchange rather than hang the test.
    if (++m_receives > 10000 || m_messages.empty()) {
      if (m_messages.empty() && !endless) {
        message.reset(A({S("DLMessageDisconnect")}));
        name = "DLMessageDisconnect";
      }
      return 0;
    }
    message = std::move(m_messages.front());
    m_messages.pop_front();
    if (message) {
      plist_t first = plist_array_get_item(message.get(), 0);
      char* text = nullptr;
      if (first) plist_get_string_val(first, &text);
      name = text ? text : "";
      std::free(text);
    }
    return 0;
  }
  int32_t SendStatusResponse(int32_t code, const char* text, plist_t payload) override {
    SentStatus status;
    status.code = code;
    status.text = text ? text : "";
    status.hasPayload = payload != nullptr;
    if (payload) status.payload.reset(plist_copy(payload));
    statuses.push_back(std::move(status));
    return 0;
  }
  int32_t SendRaw(std::span<const char> data, uint32_t& done) override {
    sent.append(data.data(), data.size());
    done = static_cast<uint32_t>(data.size());
    return 0;
  }
  int32_t ReceiveRaw(std::span<char> data, uint32_t& done) override {
    const size_t n = std::min({data.size(), incoming.size() - m_position, maxPiece});
    std::memcpy(data.data(), incoming.data() + m_position, n);
    m_position += n;
    done = static_cast<uint32_t>(n);
    // A device that keeps sending nothing is eventually gone, so that a
    // script that ran out cannot hang the test.
    if (n == 0 && ++m_emptyReads > 1000) attached = false;
    return 0;
  }
  bool ProbeDevice() override {
    ++probeCount;
    if (probes.empty()) return probeDefault;
    const bool answer = probes.front();
    probes.pop_front();
    return answer;
  }
  bool IsDeviceAttached() override {
    ++attachedChecks;
    return attached;
  }

  size_t Unread() const { return incoming.size() - m_position; }
  // When set, an exhausted script keeps bringing nothing (a silent device).
  bool endless = false;

 private:
  std::deque<PlistPtr> m_messages;
  size_t m_position = 0;
  int m_receives = 0;
  int m_emptyReads = 0;
};

}  // namespace fq::test
