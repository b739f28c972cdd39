#pragma once
// Natively the registry is a file: the tests use one of their own for the
// whole run, never the user's. On Windows the real registry is used (each
// test keeps its keys under a private key of its own).
namespace kestrove::testing {

void use_private_registry_file();

}  // namespace kestrove::testing
