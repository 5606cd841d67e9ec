#!/usr/bin/env bash
# The service's main job on a demo set-up: the demo city's dispatcher database on the local
# Firebird server, a working folder with SETSERVER.INI and the drivers' connection records,
# the service started headless, and one driver's terminal logging in, binding and talking.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh
BUILD_TYPE=${BUILD_TYPE:-Release} BUILD_DIR=${BUILD_DIR:-build-demo} scripts/build.sh -DTAXI_GPRS_BUILD_TESTS=OFF >/dev/null
build=$root/${BUILD_DIR:-build-demo}
scripts/firebird-server.sh

password=$(set +u; . /etc/firebird/3.0/SYSDBA.password; printf '%s' "$ISC_PASSWORD")
demo=${TAXI_GPRS_DEMO_DIR:-/tmp/taxi-gprs-demo}
main_port=${TAXI_GPRS_DEMO_PORT:-30000}
rm -rf "$demo"
mkdir -p "$demo"
chmod 777 "$demo" # the database server writes the dispatcher database here

echo "== the demo city's dispatcher database: localhost:$demo/dispatcher.fdb"
{
  printf "SET SQL DIALECT 3;\nCREATE DATABASE 'localhost:%s/dispatcher.fdb' USER 'SYSDBA' PASSWORD '%s' " "$demo" "$password"
  printf "PAGE_SIZE 4096 DEFAULT CHARACTER SET WIN1251;\n"
  printf "INPUT '%s';\nCOMMIT;\nINPUT '%s';\nCOMMIT;\n" "$root/db/dispatcher.sql" "$root/db/demo-data.sql"
} | isql-fb -q -b -ch UTF8

echo "== the working folder: $demo (SETSERVER.INI, TAXI_GPRS.FDB)"
cat > "$demo/SETSERVER.INI" <<INI
[SHLYAH_BAZA]
PATH_BAZA=$demo
NAME_BAZA=dispatcher.fdb
SERVER=localhost:
[SET_SERV]
LOGIN=SYSDBA
PASS=$password
[GPRS_TAXI]
PORT_SERVER=$main_port
NAME_STOYANKA=СТОЯНКА
CHAS_ZN_SEK=10
FILE_NEWS=$demo/NEWS.TXT
[SET_DYI_VODIY]
VHID_V_SYSTEM=1
VIHID_Z_SYSTEM=1
INI
iconv -f UTF-8 -t WINDOWS-1251 "$demo/SETSERVER.INI" > "$demo/SETSERVER.tmp" && mv "$demo/SETSERVER.tmp" "$demo/SETSERVER.INI"
printf 'З понеділка діє новий тариф по місту.\r\n\r\nНа вокзалі ремонт: стоянка біля другого входу.\r\n' |
  iconv -f UTF-8 -t WINDOWS-1251 > "$demo/NEWS.TXT"

# The first start creates TAXI_GPRS.FDB and waits; the connection records are then added by hand,
# as the operator would on the records page.
"$build/src/app/taxi-gprs" --headless --workdir "$demo" > "$demo/first-start.log" 2>&1 &
first=$!
for _ in $(seq 1 50); do [ -f "$demo/TAXI_GPRS.FDB" ] && break; sleep 0.2; done
sleep 1
kill -TERM "$first"; wait "$first" || true
names=("Коваленко Петро Іванович" "Шевчук Андрій Миколайович" "Бондаренко Олег Васильович" \
       "Ткаченко Сергій Петрович" "Мельник Іван Степанович" "Кравчук Богдан Олександрович")
{
  printf "CONNECT '%s/TAXI_GPRS.FDB' USER 'SYSDBA' PASSWORD 'x';\n" "$demo"
  for i in 0 1 2 3 4 5; do
    callsign=$((11 + i))
    printf "INSERT INTO GPRS_SET_KLIENT VALUES (%d, '%s', %d, 'неактивний', '1111');\n" \
      "$callsign" "${names[$i]}" $((main_port + callsign))
  done
  printf "COMMIT;\n"
} | isql-fb -q -b -ch UTF8

dispatcher_sql() {
  { printf "CONNECT 'localhost:%s/dispatcher.fdb' USER 'SYSDBA' PASSWORD '%s';\n" "$demo" "$password"; cat; } |
    isql-fb -q -ch UTF8
}
marks() {
  dispatcher_sql <<SQL
SELECT ZAD_AVTO_POZIVNIY, ZAD_AVTO_MARKA_AVTO, ZAD_AVTO_VULICA, ZAD_AVTO_CHAS_ZAMOVL FROM ZADIANI_AVTO;
SELECT * FROM REFLESH_DANI_VODIY_GPRS;
SQL
}

echo "== the service, headless, distributing on port $main_port (its monitoring log follows)"
"$build/src/app/taxi-gprs" --headless --start --workdir "$demo" &
service=$!
trap 'kill -TERM $service 2>/dev/null || true' EXIT
sleep 2

echo "== driver 11 logs in on port $main_port, binds to port $((main_port + 11)) and asks"
fifo="$demo/terminal.in"
mkfifo "$fifo"
"$build/tools/terminal/taxi-gprs-terminal" --main-port "$main_port" --port $((main_port + 11)) --password 1111 \
  < "$fifo" &
terminal=$!
exec 3> "$fifo"
sleep 2
echo "@PZ3@" >&3
sleep 2
echo "== while the terminal is bound, the dispatchers see its marks:"
marks
echo "== the driver reads the stand table, registers at entry 2 (Вокзал) and reads his status"
echo "@MENUMAIN@" >&3
echo "@S@" >&3
sleep 1
echo "@inSTOYNKA[<2>]@" >&3
sleep 1
echo "@PZ7@" >&3
sleep 2
echo "== his rows on the air now:"
marks
echo "== a passenger flags him down: a pick-up for client 00007, and he goes to the end of the pool"
echo "@PD(00007)@" >&3
sleep 2
echo "@PZ7@" >&3
sleep 2
dispatcher_sql <<SQL
SELECT ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_POZIVNIY, ZAMOVL_STATUS_ZAMOVL
  FROM ZAMOVLENNIA WHERE ZAMOVL_PRIYOM_ZAMOVL = 'GPRS';
SELECT KLIENT_NOMER, KLIENT_KIL_VIKLIK, KLIENT_KIL_FREE_VIKLIK FROM KLIENT WHERE KLIENT_NOMER = 1;
SQL

# What a dispatcher's program does to give an order to a driver: the order and the driver's row name each
# other, and the offer row is marked last. The database's event brings it to the terminal.
offer() { # offer ORDER_START_POINT
  dispatcher_sql <<SQL
UPDATE ZAMOVLENNIA SET ZAMOVL_POZIVNIY = 11, ZAMOVL_FIO_TAXI = 'Коваленко Петро Іванович',
  ZAMOVL_ROZDACHA_ZAMOVL = 'Оксана', ZAMOVL_CHAS_PRIYOM_VODIY = '5 хв' WHERE ZAMOVL_POCHAT_PUNKT = '$1';
UPDATE ZADIANI_AVTO SET ZAD_AVTO_ZADIANIST = 1,
  ZAD_AVTO_NOMER_ZAMOVL = (SELECT ZAMOVL_NUMBER FROM ZAMOVLENNIA WHERE ZAMOVL_POCHAT_PUNKT = '$1')
  WHERE ZAD_AVTO_POZIVNIY = 11;
COMMIT;
UPDATE REFLESH_DANI_VODIY_GPRS SET REFLESH_VODIY_ZAMOV = '+', REFLESH_VODIY_DATETIME = LOCALTIMESTAMP,
  REFLESH_VODIY_NZ = (SELECT ZAMOVL_NUMBER FROM ZAMOVLENNIA WHERE ZAMOVL_POCHAT_PUNKT = '$1')
  WHERE REFLESH_VODIY_POZ = 11;
COMMIT;
SQL
}
orders() {
  dispatcher_sql <<SQL
SELECT ZAMOVL_NUMBER, ZAMOVL_POCHAT_PUNKT, ZAMOVL_POZIVNIY, ZAMOVL_STATUS_ZAMOVL FROM ZAMOVLENNIA
  WHERE ZAMOVL_PRIYOM_ZAMOVL <> 'GPRS';
SQL
}

echo "== a dispatcher offers him the order from вул. Соборна, 14; he reads it, accepts it and completes it"
offer 'вул. Соборна, 14'
sleep 2
echo "@PZ7@" >&3
sleep 2
echo "@PRZ@" >&3
sleep 1
echo "@ZKZ@" >&3
sleep 3
orders
echo "== a second offer (from Центральний ринок) he leaves unanswered: after 10 s it goes back to the flow"
offer 'Центральний ринок'
sleep 14
orders
dispatcher_sql <<SQL
SELECT DYA_VODIY_GPRS_DYA, DYA_VODIY_GPRS_NZ FROM DYA_VODIY_GPRS WHERE DYA_VODIY_GPRS_POZ = 11
  ORDER BY DYA_VODIY_GPRS_NP;
SQL

echo "== the driver reads the news, his messages and the day's report, and answers the open poll"
echo "@NEWS@" >&3
echo "@OSOBPOV@" >&3
echo "@OSOBPOVREADE@" >&3
echo "@ZVIT@" >&3
echo "@LISTOPITUVAN@" >&3
echo "@PITAN[1]@" >&3
sleep 2
echo "@VidVid[(1){0KLQsNC6}]@" >&3
exec 3>&-
wait "$terminal"
echo "== his answer to the poll, as the dispatchers' programs read it:"
dispatcher_sql <<SQL
SELECT OP_NUMBER, OP_STATUS, OP_MAIN_NUM, OP_POZ, OP_TEXT_VID FROM OPITUVANNYA_VODIY WHERE OP_STATUS = 'V';
SQL
sleep 1
echo "== the terminal has gone: its marks are gone too (the driver stays on the air):"
marks

kill -TERM "$service"
wait "$service" && echo "== the service stopped (exit status 0)"
trap - EXIT
