#pragma once

#include <QString>

// Where the link stands.
enum class LinkState {
  Closed,      // not open: never opened, or closed on request
  Connecting,  // an open is under way and the link was not up
  Connected,   // the tester answered the handshake; a reopen keeps this until it fails
  Failed,      // an open failed, or a driver call lost the link
};

// What the link reports of itself, for whoever shows it.
struct LinkStatus {
  LinkState state = LinkState::Closed;
  // The connect button as the link holds it: pressed in while connected, and as the operator
  // left it (chkConnect_Click) until the link acts on the click.
  bool connectPressed = false;
  // What the host is doing with the tester ("Running test 2…"), as its user reported it; empty
  // for nothing. The link going up or down ends it.
  QString activity;
  // The last failure, or that the port was closed on request; empty once connected.
  QString message;
  bool failure = false;  // message reports a failure
  bool operator==(const LinkStatus&) const = default;
};
