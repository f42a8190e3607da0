// Every feature a GenICam camera describes, read over the protocol as
// any other client would, for tests that check a camera is left exactly
// as it was found.
#pragma once

#include <map>
#include <string>

// Feature name -> value as text, for every integer, float, enumeration,
// boolean, string and register node of the camera's description that can
// be read; nodes that refuse a read are listed as such. The lookup tables
// of FakeGvCamera are added entry by entry ("LUTValue[Green][17]"), and
// the values of its colour transformation one by one
// ("ColorTransformationValue[Gain01]"), read from their registers so that
// no selector moves. Opening the camera
// takes its control channel for the time of the reads: call it only while
// no other program holds the camera.
std::map<std::string, std::string> readEveryFeature(const std::string& address);

// The features whose values differ, one line each ("GainAuto: Continuous
// -> Off"); empty when the two readings agree.
std::string featureChanges(const std::map<std::string, std::string>& before,
                           const std::map<std::string, std::string>& after);
