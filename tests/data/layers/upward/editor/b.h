// An editor header.
#pragma once
