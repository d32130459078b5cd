#pragma once
// The cameras the maker's discovery finds, as the camera model holds them: the fields
// every view and plan needs read from the record, and the record itself as the camera's
// origin, which every command to the camera is built from.

#include "camera/Camera.h"
#include "discovery/DiscoveryData.h"

// The name the maker's discovery gives the cameras it finds.
inline const CameraProtocol kDiscoveryProtocol = "discovery";

// The camera of a received record (a reply, or a command the list keeps as sent).
Camera CameraFromRecord(const DISCOVERY_DATA &record);
// The camera's identity within the protocol: its MAC and IP, neither empty; empty else.
std::string RecordIdentity(const DISCOVERY_DATA &record);
// The record the camera came from; null for a camera another protocol found.
const DISCOVERY_DATA *RecordOf(const Camera &camera);
