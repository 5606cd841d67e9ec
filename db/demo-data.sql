/*
  Demo contents of the dispatcher database: a small town's taxi office on an ordinary day.
  Run by isql after dispatcher.sql. Nobody is on the air yet and no terminal is connected:
  drivers come on the air by logging in from their terminals.
*/

-- demo logins (callsign, name); each gets a connection record on port 30000 + callsign, password 1111:
--   11, Коваленко Петро Іванович
--   12, Шевчук Андрій Миколайович
--   13, Бондаренко Олег Васильович
--   14, Ткаченко Сергій Петрович
--   15, Мельник Іван Степанович
--   16, Кравчук Богдан Олександрович
-- Callsign 17 (Лисенко Віктор Григорович) has a car but is on the black list; 18 is a car in repair.

INSERT INTO DANI_FIRMI (FIRMA_NAZVA, FIRMA_TELEFON, FIRMA_ADRESA, FIRMA_KIL_DLIA_BEZKOCHT_POIZDKI)
VALUES ('Таксі Світанок', '1551', 'вул. Заводська, 5', 7);

-- Stands carry the stand status; the rest of the map is there so that the status is what tells them apart.
INSERT INTO KARTA_MISTA VALUES (1, 'Вокзал', 'СТОЯНКА', 120, 340);
INSERT INTO KARTA_MISTA VALUES (2, 'Центральний ринок', 'СТОЯНКА', 410, 295);
INSERT INTO KARTA_MISTA VALUES (3, 'Лікарня', 'СТОЯНКА', 515, 130);
INSERT INTO KARTA_MISTA VALUES (4, 'Автостанція', 'СТОЯНКА', 640, 420);
INSERT INTO KARTA_MISTA VALUES (5, 'вул. Соборна', 'ВУЛИЦЯ', 380, 250);
INSERT INTO KARTA_MISTA VALUES (6, 'вул. Шевченка', 'ВУЛИЦЯ', 300, 310);
INSERT INTO KARTA_MISTA VALUES (7, 'вул. Грушевського', 'ВУЛИЦЯ', 450, 180);
INSERT INTO KARTA_MISTA VALUES (8, 'просп. Незалежності', 'ВУЛИЦЯ', 560, 360);
INSERT INTO KARTA_MISTA VALUES (9, 'ТРЦ Глобус', 'ЗАКЛАД', 470, 390);

INSERT INTO VODII VALUES (1, 'Коваленко Петро Іванович', '067 431 12 05', 'вул. Шевченка, 21, кв. 4');
INSERT INTO VODII VALUES (2, 'Шевчук Андрій Миколайович', '050 219 77 14', 'вул. Соборна, 3');
INSERT INTO VODII VALUES (3, 'Бондаренко Олег Васильович', '097 605 40 88', 'вул. Грушевського, 17, кв. 52');
INSERT INTO VODII VALUES (4, 'Ткаченко Сергій Петрович', '063 112 93 20', 'вул. Садова, 9');
INSERT INTO VODII VALUES (5, 'Мельник Іван Степанович', '068 377 01 46', 'просп. Незалежності, 40, кв. 11');
INSERT INTO VODII VALUES (6, 'Кравчук Богдан Олександрович', '095 840 26 63', 'вул. Лісова, 2');
INSERT INTO VODII VALUES (7, 'Лисенко Віктор Григорович', '066 508 35 91', 'вул. Польова, 14');

INSERT INTO DANI_AVTO VALUES (1, 11, 1, 'Деу Ланос', 'білий', 'седан', 'АМ 1234 АА', 4, 400, 312);
INSERT INTO DANI_AVTO VALUES (2, 12, 2, 'Шкода Октавія', 'сірий', 'ліфтбек', 'АМ 5521 ВК', 4, 450, 287);
INSERT INTO DANI_AVTO VALUES (3, 13, 3, 'ВАЗ 2107', 'червоний', 'седан', 'АМ 0713 СЕ', 4, 350, 540);
INSERT INTO DANI_AVTO VALUES (4, 14, 4, 'Шевроле Авео', 'синій', 'хетчбек', 'АМ 8802 АН', 4, 380, 198);
INSERT INTO DANI_AVTO VALUES (5, 15, 5, 'Рено Логан', 'чорний', 'універсал', 'АМ 3390 ВІ', 4, 500, 241);
INSERT INTO DANI_AVTO VALUES (6, 16, 6, 'Фольксваген Кадді', 'білий', 'мінівен', 'АМ 4467 ВМ', 6, 700, 166);
INSERT INTO DANI_AVTO VALUES (7, 17, 7, 'Опель Вектра', 'зелений', 'седан', 'АМ 6105 АК', 4, 420, 95);
INSERT INTO DANI_AVTO VALUES (8, 18, 0, 'Дачія Сандеро', 'бежевий', 'хетчбек', 'АМ 2278 ВО', 4, 400, 73);

-- Client 7 is one paid ride short of a free one; client 15 has a free ride in hand.
INSERT INTO KLIENT VALUES (1, 'Петренко Ольга Миколаївна', '067 220 31 45', 'вул. Соборна, 14, кв. 8',
  '[00007] постійна клієнтка, дзвонити на мобільний', 6, 0);
INSERT INTO KLIENT VALUES (2, 'Гриценко Василь Петрович', '050 614 02 77', 'вул. Шевченка, 12',
  '[00015] пенсіонер, допомогти з сумками', 2, 1);
INSERT INTO KLIENT VALUES (3, 'Аптека Здоровя', '2 41 18', 'просп. Незалежності, 3',
  '[00102] організація, розрахунок по рахунку', 11, 0);
INSERT INTO KLIENT VALUES (4, 'Савчук Наталія Іванівна', '093 005 64 19', 'вул. Лісова, 25',
  '[00230]', 0, 0);

SET GENERATOR GENIDZAMOVL TO 1040;

-- Yesterday's and today's closed orders; Шевчук drove client 15 free of charge today.
INSERT INTO CLOSEZAMOVLENNIA (CZ_NUMBER, CZ_NOMER_KLIENT, CZ_POCHAT_PUNKT, CZ_PUNKT_PRIZHACH, CZ_SUMA_ROZRAHUNK,
  CZ_DATA_PRIYOMA, CZ_CHAS_PRIYOMA, CZ_DATA_ZAKR_ZAMOVL, CZ_CHAS_ZAKR_ZAMOVL, CZ_POZIVNIY, CZ_FIO_TAXI,
  CZ_BEZKOSHTOVN, CZ_STATUS_ZAMOVL, CZ_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 7, 'вул. Соборна, 14', 'ТРЦ Глобус', 45,
  CURRENT_DATE - 1, '17:40:00', CURRENT_DATE - 1, '18:05:00', 11, 'Коваленко Петро Іванович',
  'HI', 1, '() тариф:[Місто]');
INSERT INTO CLOSEZAMOVLENNIA (CZ_NUMBER, CZ_NOMER_KLIENT, CZ_POCHAT_PUNKT, CZ_PUNKT_PRIZHACH, CZ_SUMA_ROZRAHUNK,
  CZ_DATA_PRIYOMA, CZ_CHAS_PRIYOMA, CZ_DATA_ZAKR_ZAMOVL, CZ_CHAS_ZAKR_ZAMOVL, CZ_POZIVNIY, CZ_FIO_TAXI,
  CZ_BEZKOSHTOVN, CZ_STATUS_ZAMOVL, CZ_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 0, 'Автостанція', 'вул. Лісова, 25', 60,
  CURRENT_DATE - 1, '21:10:00', CURRENT_DATE - 1, '21:35:00', 13, 'Бондаренко Олег Васильович',
  'HI', -1, '(клієнт не вийшов) тариф:[Нічний]');
INSERT INTO CLOSEZAMOVLENNIA (CZ_NUMBER, CZ_NOMER_KLIENT, CZ_POCHAT_PUNKT, CZ_PUNKT_PRIZHACH, CZ_SUMA_ROZRAHUNK,
  CZ_DATA_PRIYOMA, CZ_CHAS_PRIYOMA, CZ_DATA_ZAKR_ZAMOVL, CZ_CHAS_ZAKR_ZAMOVL, CZ_POZIVNIY, CZ_FIO_TAXI,
  CZ_BEZKOSHTOVN, CZ_STATUS_ZAMOVL, CZ_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 15, 'вул. Шевченка, 12', 'Лікарня', 0,
  CAST(DATEADD(-150 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(-150 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  CAST(DATEADD(-120 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(-120 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  12, 'Шевчук Андрій Миколайович', 'TAK', 1, '(безкоштовна поїздка) тариф:[Місто]');

-- Open orders nobody has taken yet, the last one booked for later today.
INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH,
  ZAMOVL_SUMA_ROZRAHUNK, ZAMOVL_PRIYOM_ZAMOVL, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA,
  ZAMOVL_BEZKOSHTOVN, ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 7, 'вул. Соборна, 14', 'Вокзал',
  40, 'Оксана', CAST(DATEADD(-6 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(-6 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  'HI', 0, '(біля аптеки, чекати 5 хв) тариф:[Місто]');
INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH,
  ZAMOVL_SUMA_ROZRAHUNK, ZAMOVL_PRIYOM_ZAMOVL, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA,
  ZAMOVL_BEZKOSHTOVN, ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 0, 'Центральний ринок', 'вул. Грушевського, 40',
  55, 'Оксана', CAST(DATEADD(-3 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(-3 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  'HI', 0, '(з багажем) тариф:[Місто+багаж]');
INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH,
  ZAMOVL_SUMA_ROZRAHUNK, ZAMOVL_PRIYOM_ZAMOVL, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA,
  ZAMOVL_BEZKOSHTOVN, ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 15, 'Лікарня', NULL,
  0, 'Марина', CAST(DATEADD(-1 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(-1 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  'TAK', 0, '(пасажир з дитиною) тариф:[Пільговий]');
INSERT INTO ZAMOVLENNIA (ZAMOVL_NUMBER, ZAMOVL_NOMER_KLIENT, ZAMOVL_POCHAT_PUNKT, ZAMOVL_PUNKT_PRIZHACH,
  ZAMOVL_SUMA_ROZRAHUNK, ZAMOVL_PRIYOM_ZAMOVL, ZAMOVL_DATA_PRIYOMA, ZAMOVL_CHAS_PRIYOMA,
  ZAMOVL_BEZKOSHTOVN, ZAMOVL_STATUS_ZAMOVL, ZAMOVL_PRICHINA_DELETE)
VALUES (GEN_ID(GENIDZAMOVL, 1), 102, 'просп. Незалежності, 3', 'Автостанція',
  50, 'Марина', CAST(DATEADD(90 MINUTE TO CURRENT_TIMESTAMP(0)) AS DATE), CAST(DATEADD(90 MINUTE TO CURRENT_TIMESTAMP(0)) AS TIME),
  'HI', 0, '(попереднє, до автобуса на Київ) тариф:[Місто]');

-- Лисенко is kept off the air until he settles his shift money.
INSERT INTO BL_VODII (BL_VODIY_NOMER, BL_AVTO_POZIVN, BL_DATATIME, BL_AVTOR, BL_TEXT, BL_STATUS)
VALUES (1, 17, DATEADD(-1 DAY TO CURRENT_TIMESTAMP(0)), 'Оксана', 'Не здав виручку за зміну', 1);

INSERT INTO MSG_FOR_VODIY (MSG_FOR_VODIY_NP, MSG_FOR_VODIY_DCREATE, MSG_FOR_VODIY_STATUS, MSG_FOR_VODIY_POZ,
  MSG_FOR_VODIY_FIO, MSG_FOR_VODIY_TEXT, MSG_FOR_VODIY_AVTOR, MSG_FOR_VODIY_DREADER)
VALUES (1, DATEADD(-30 MINUTE TO CURRENT_TIMESTAMP(0)), 'A', 11,
  'Коваленко Петро Іванович', 'Завтра о 8:00 техогляд у гаражі на вул. Заводській, 5. Не запізнюйтесь.',
  'Диспетчер Оксана', NULL);

INSERT INTO OPITUVANNYA_VODIY (OP_NUMBER, OP_STATUS, OP_PITANNYA, OP_SV, OP_KIL_VIDP, OP_TEXT_SHABL_VID,
  OP_DATATIME_CREATE, OP_DATATIME_CLOSE)
VALUES (1, 'Z', 'Чи готові ви працювати в нічну зміну на вихідних?', '+', 2, '[Так][Ні]',
  DATEADD(-1 DAY TO CURRENT_TIMESTAMP(0)), NULL);

COMMIT;
