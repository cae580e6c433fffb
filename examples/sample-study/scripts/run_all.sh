#!/bin/sh
echo running
