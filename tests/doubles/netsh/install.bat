@echo off
rem Double of the network configuration batch: leaves a marker beside itself
rem and, when TLX_DOUBLE_LOG is set, a start line in the record file.
echo netsh> "%~dp0install.done"
if defined TLX_DOUBLE_LOG echo start	install.bat>> "%TLX_DOUBLE_LOG%"
